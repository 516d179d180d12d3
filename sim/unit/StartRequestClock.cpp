// Piecewise-linear clock of the unit's link.
#include "sim/unit/StartRequestClock.h"

StartRequestClock::StartRequestClock(Clock& base) : base(base), baseAt(base.tickMs()) {}

std::uint32_t StartRequestClock::tickMs()
{
    return tickAt + (base.tickMs() - baseAt) * static_cast<std::uint32_t>(speed);
}

void StartRequestClock::setFactor(int factor)
{
    tickAt = tickMs();
    baseAt = base.tickMs();
    speed = factor < 1 ? 1 : factor;
}

int StartRequestClock::baseSpanMs(int tickSpanMs) const
{
    if (tickSpanMs <= 0)
        return tickSpanMs;
    return tickSpanMs / speed + (tickSpanMs % speed != 0 ? 1 : 0);
}

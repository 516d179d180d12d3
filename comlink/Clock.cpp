// The real monotonic millisecond clock.
#include "comlink/Clock.h"

#include <chrono>

namespace {

class SteadyClock final : public Clock {
public:
    std::uint32_t tickMs() override
    {
        using namespace std::chrono;
        const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
        // Keep the low 32 bits: callers compare ticks with tickBefore(), which
        // is correct across the wrap.
        return static_cast<std::uint32_t>(ms);
    }
};

} // namespace

Clock& systemClock()
{
    static SteadyClock clock;
    return clock;
}

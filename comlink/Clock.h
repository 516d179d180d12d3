// The one millisecond tick source of the serial link and the transfer engine.
#pragma once

#include <cstdint>

// A monotonic millisecond counter that wraps at 2^32. Every time-out in the
// link and the transfer engine is measured against one Clock; production uses
// systemClock(), tests substitute a virtual clock that advances when a fake
// port idles, so that minute-long time-outs run in microseconds.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; monotonic within a run.
    virtual std::uint32_t tickMs() = 0;
};

// The real monotonic clock (steady_clock). Stateless; safe from any thread.
Clock& systemClock();

// True while tick `now` lies before `deadline`. Ticks are compared as signed
// 32-bit differences, so the comparison stays right across the wrap of the
// counter (after 49.7 days of uptime).
inline bool tickBefore(std::uint32_t now, std::uint32_t deadline)
{
    return static_cast<std::int32_t>(now - deadline) < 0;
}

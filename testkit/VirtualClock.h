// A virtual millisecond clock for tests: time passes only when told to.
#pragma once

#include <atomic>
#include <cstdint>

#include "comlink/Clock.h"

namespace testkit {

// Advanced by fake ports as they idle, so time-outs of minutes run in
// microseconds. Safe to read and advance from several threads.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(std::uint32_t startMs = 0) : now(startMs) {}
    std::uint32_t tickMs() override { return now.load(); }
    void advance(std::uint32_t ms) { now.fetch_add(ms); }
    // Puts the clock at ms (a test of the counter's wrap, say).
    void set(std::uint32_t ms) { now.store(ms); }

private:
    std::atomic<std::uint32_t> now;
};

} // namespace testkit

// A clock that can run faster than real time while the unit waits for the
// first block of an upload.
#pragma once

#include <cstdint>

#include "comlink/Clock.h"

// The transfer engine's receiver repeats its start request after each
// 5-second header wait. A unit's loader asks more often, so while the unit
// waits for the first block its link runs on this clock sped up by a
// factor (5 gives a request every second); once a block has arrived the
// factor goes back to 1. The ticks stay continuous and monotonic across a
// change of factor. One thread.
class StartRequestClock : public Clock {
public:
    explicit StartRequestClock(Clock& base);

    std::uint32_t tickMs() override;
    // From now on time runs factor (>= 1) times as fast as the base clock.
    void setFactor(int factor);
    int factor() const { return speed; }
    // The base clock's ticks: real time whatever the factor.
    std::uint32_t baseMs() { return base.tickMs(); }
    // How long, in the base clock's milliseconds, this clock takes to
    // advance by tickSpanMs at the present factor, rounded up: the ticks
    // move in steps of the factor, so a shorter wait would end before they
    // had moved at all. 0 or less passes through unchanged.
    int baseSpanMs(int tickSpanMs) const;

private:
    Clock& base;
    std::uint32_t baseAt;
    std::uint32_t tickAt = 0;
    int speed = 1;
};

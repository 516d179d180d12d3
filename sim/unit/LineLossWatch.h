// Puts the bytes the virtual line lost to a rate mismatch into the unit's
// transcript, with the rates the two ends had.
#pragma once

#include <array>
#include <cstdint>

class Transcript;
class VirtualLine;

// Compares the line's speed-mismatch counters with what it saw last time
// and records a "lost" event per direction that lost bytes since. The host
// rate is the one the host's end had when the loss was noticed, which a
// poll at least every 50 ms makes the rate the bytes were sent at unless
// the host changes its rate within that moment. Call on the unit's thread
// (the transcript's); the line may run on a thread of its own.
class LineLossWatch {
public:
    LineLossWatch(const VirtualLine& line, int hostEnd, Transcript& transcript);

    void poll();

private:
    const VirtualLine& line;
    int hostEnd;
    Transcript& transcript;
    std::array<std::uint64_t, 2> seen{0, 0};
};

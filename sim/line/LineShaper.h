// One direction of the virtual line as pure logic: faults, pacing, latency.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "sim/line/LineOptions.h"

// Counters of one direction; a snapshot is copied out of the line.
struct DirectionStats {
    std::uint64_t bytesIn = 0;       // bytes the sending end wrote
    std::uint64_t bytesOut = 0;      // bytes handed to the receiving end
    std::uint64_t dropped = 0;       // lost to drop faults
    std::uint64_t corrupted = 0;     // changed by corrupt faults
    std::uint64_t duplicated = 0;    // extra copies from duplicate faults
    std::uint64_t noised = 0;        // replaced by noise
    std::uint64_t speedLost = 0;     // lost to a speed mismatch
    std::uint64_t stalls = 0;        // stalls that took effect
};

// The speeds an end was seen to have at the start and at the end of a
// stretch of time. When the end changed its speed at most once in that
// stretch, the speed it had at any moment of it is one of the two.
struct BaudWindow {
    int before = 0;
    int after = 0;
    // True when the two ends may have had the same speed at some moment
    // of their stretches.
    bool mayMatch(const BaudWindow& other) const
    {
        return before == other.before || before == other.after || after == other.before ||
               after == other.after;
    }
};

// A byte on the wire: when it reaches the receiving end, and the speeds the
// sending end was seen to have around the moment it was written.
struct WireByte {
    std::int64_t dueNs = 0;
    BaudWindow sender;
    std::uint8_t value = 0;
};

// Takes the bytes of one direction with the time they were written, applies
// the faults chosen by index, and gives each byte the time it reaches the
// far end: a byte occupies the wire for 10 bit times at the pacing rate
// after the previous one (none when unpaced), then travels for the latency.
// Times are nanoseconds on any monotonic scale, supplied by the caller, so
// the shaper runs as well in virtual time as on the real clock. Not
// thread-safe: one thread drives it.
class LineShaper {
public:
    explicit LineShaper(const DirectionOptions& options);

    // Puts n bytes written at nowNs on the wire. nowNs must not go back.
    void push(const std::uint8_t* bytes, std::size_t n, std::int64_t nowNs, BaudWindow sender = {});
    // Moves the bytes due at or before nowNs, in order, to out (appended).
    void takeDue(std::int64_t nowNs, std::vector<WireByte>& out);
    // Moves every byte still on the wire to out, due or not.
    void takeAll(std::vector<WireByte>& out);
    // When the first byte still on the wire is due; -1 when none is.
    std::int64_t nextDueNs() const;
    std::size_t backlog() const { return wire.size(); }
    const DirectionStats& stats() const { return counters; }
    // Counts a byte the caller threw away for a speed mismatch.
    void countSpeedLoss() { ++counters.speedLost; }
    void countDelivered(std::size_t n) { counters.bytesOut += n; }

private:
    std::int64_t place(std::int64_t nowNs);
    bool noiseAt(std::uint64_t index, std::uint8_t& value) const;

    DirectionOptions options;
    std::int64_t byteNs;          // wire time of one byte; 0 unpaced
    std::int64_t latencyNs;
    std::int64_t wireFreeNs = 0;  // when the wire can carry the next byte
    bool started = false;
    std::uint64_t nextIndex = 0;
    std::deque<WireByte> wire;
    DirectionStats counters;
};

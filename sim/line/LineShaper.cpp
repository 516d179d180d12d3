// Faults, pacing and latency of one direction of the virtual line.
#include "sim/line/LineShaper.h"

#include <algorithm>

namespace {

// A well-mixed 64-bit hash (splitmix64), so that each noisy byte depends
// only on the burst's seed and the byte's index.
std::uint64_t mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

} // namespace

LineShaper::LineShaper(const DirectionOptions& opts)
    : options(opts),
      byteNs(opts.baud > 0 ? 10'000'000'000LL / opts.baud : 0),
      latencyNs(static_cast<std::int64_t>(opts.latencyUs) * 1000)
{
}

bool LineShaper::noiseAt(std::uint64_t index, std::uint8_t& value) const
{
    for (const NoiseBurst& burst : options.noise) {
        if (index < burst.atByte || index - burst.atByte >= burst.length)
            continue;
        std::uint64_t h = mix((static_cast<std::uint64_t>(burst.seed) << 32) ^ mix(index));
        double draw = static_cast<double>(h >> 11) / static_cast<double>(1ULL << 53);
        if (draw < burst.rate) {
            value = static_cast<std::uint8_t>(mix(h) & 0xFF);
            return true;
        }
    }
    return false;
}

// Reserves the wire for one byte written at nowNs; returns when it arrives.
std::int64_t LineShaper::place(std::int64_t nowNs)
{
    if (!started || wireFreeNs < nowNs)
        wireFreeNs = nowNs;
    started = true;
    wireFreeNs += byteNs;
    return wireFreeNs + latencyNs;
}

void LineShaper::push(const std::uint8_t* bytes, std::size_t n, std::int64_t nowNs, BaudWindow sender)
{
    for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t index = nextIndex++;
        ++counters.bytesIn;
        for (const Stall& stall : options.stalls) {
            if (stall.atByte == index) {
                // Held from the moment this byte would have gone out.
                if (!started || wireFreeNs < nowNs)
                    wireFreeNs = nowNs;
                started = true;
                wireFreeNs += static_cast<std::int64_t>(stall.durationMs) * 1'000'000;
                ++counters.stalls;
            }
        }
        std::int64_t due = place(nowNs);
        if (options.drop.count(index)) {
            // A lost byte still took its time on the wire.
            ++counters.dropped;
            continue;
        }
        std::uint8_t value = bytes[i];
        if (noiseAt(index, value))
            ++counters.noised;
        if (options.corrupt.count(index)) {
            value ^= options.corruptMask;
            ++counters.corrupted;
        }
        wire.push_back(WireByte{due, sender, value});
        if (options.duplicate.count(index)) {
            wire.push_back(WireByte{place(nowNs), sender, value});
            ++counters.duplicated;
        }
    }
}

void LineShaper::takeDue(std::int64_t nowNs, std::vector<WireByte>& out)
{
    while (!wire.empty() && wire.front().dueNs <= nowNs) {
        out.push_back(wire.front());
        wire.pop_front();
    }
}

void LineShaper::takeAll(std::vector<WireByte>& out)
{
    out.insert(out.end(), wire.begin(), wire.end());
    wire.clear();
}

std::int64_t LineShaper::nextDueNs() const
{
    return wire.empty() ? -1 : wire.front().dueNs;
}

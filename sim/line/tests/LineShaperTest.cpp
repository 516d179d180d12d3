// Faults, pacing and latency of one line direction, in virtual time.
#include <gtest/gtest.h>

#include <numeric>

#include "sim/line/LineShaper.h"

namespace {

constexpr std::int64_t kMs = 1'000'000;

std::vector<std::uint8_t> counting(std::size_t n)
{
    std::vector<std::uint8_t> v(n);
    std::iota(v.begin(), v.end(), std::uint8_t{0});
    return v;
}

std::vector<WireByte> takeAll(LineShaper& s)
{
    std::vector<WireByte> out;
    s.takeAll(out);
    return out;
}

std::vector<std::uint8_t> values(const std::vector<WireByte>& bytes)
{
    std::vector<std::uint8_t> v;
    for (const WireByte& b : bytes)
        v.push_back(b.value);
    return v;
}

TEST(LineShaper, UnpacedBytesAreDueWhenWrittenPlusLatency)
{
    DirectionOptions o;
    o.latencyUs = 1500;
    LineShaper s(o);
    auto data = counting(3);
    s.push(data.data(), 3, 10 * kMs, BaudWindow{38400, 57600});
    EXPECT_EQ(s.nextDueNs(), 10 * kMs + 1'500'000);
    std::vector<WireByte> out;
    s.takeDue(10 * kMs + 1'499'999, out);
    EXPECT_TRUE(out.empty());
    s.takeDue(10 * kMs + 1'500'000, out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(values(out), data);
    EXPECT_EQ(out[0].sender.before, 38400);
    EXPECT_EQ(out[2].sender.after, 57600);
    EXPECT_EQ(s.nextDueNs(), -1);
}

TEST(LineShaper, PacingSpacesBytesByTenBitTimesAndRestartsAfterIdle)
{
    DirectionOptions o;
    o.baud = 10000;  // 1 ms a byte
    o.latencyUs = 2000;
    LineShaper s(o);
    auto data = counting(5);
    s.push(data.data(), 5, 0);
    auto out = takeAll(s);
    ASSERT_EQ(out.size(), 5u);
    for (std::size_t i = 0; i < out.size(); ++i)
        EXPECT_EQ(out[i].dueNs, static_cast<std::int64_t>(i + 1) * kMs + 2 * kMs) << i;

    // A byte written while the wire is still busy waits for it.
    s.push(data.data(), 1, 5 * kMs);  // wire free at 5 ms
    s.push(data.data(), 1, 5 * kMs);
    out = takeAll(s);
    EXPECT_EQ(out[0].dueNs, 6 * kMs + 2 * kMs);
    EXPECT_EQ(out[1].dueNs, 7 * kMs + 2 * kMs);
    // After the wire went idle, timing starts from the write.
    s.push(data.data(), 1, 100 * kMs);
    EXPECT_EQ(s.nextDueNs(), 101 * kMs + 2 * kMs);
}

TEST(LineShaper, ChosenBytesAreDroppedCorruptedAndDuplicated)
{
    DirectionOptions o;
    o.baud = 10000;
    o.drop = {1, 7};
    o.corrupt = {2};
    o.corruptMask = 0x21;
    o.duplicate = {4};
    LineShaper s(o);
    auto data = counting(4);
    s.push(data.data(), 4, 0);
    auto more = counting(8);
    s.push(more.data() + 4, 4, 0);  // indices continue across writes
    auto out = takeAll(s);
    EXPECT_EQ(values(out), (std::vector<std::uint8_t>{0, 2 ^ 0x21, 3, 4, 4, 5, 6}));
    // The dropped byte 1 still took its millisecond on the wire.
    EXPECT_EQ(out[1].dueNs, 3 * kMs);
    // The copy of byte 4 follows it a byte time later.
    EXPECT_EQ(out[4].dueNs - out[3].dueNs, kMs);
    const DirectionStats& st = s.stats();
    EXPECT_EQ(st.bytesIn, 8u);
    EXPECT_EQ(st.dropped, 2u);
    EXPECT_EQ(st.corrupted, 1u);
    EXPECT_EQ(st.duplicated, 1u);
}

TEST(LineShaper, NoiseHitsOnlyItsWindowAndRepeatsForTheSameSeed)
{
    auto run = [](NoiseBurst burst) {
        DirectionOptions o;
        o.noise.push_back(burst);
        LineShaper s(o);
        std::vector<std::uint8_t> data(200, 0x55);
        s.push(data.data(), data.size(), 0);
        return std::pair{values(takeAll(s)), s.stats().noised};
    };
    NoiseBurst full{50, 100, 1.0, 7};
    auto [a, noisedA] = run(full);
    auto [b, noisedB] = run(full);
    EXPECT_EQ(a, b);
    EXPECT_EQ(noisedA, 100u);
    int changed = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        bool inside = i >= 50 && i < 150;
        if (!inside) {
            EXPECT_EQ(a[i], 0x55) << i;
        }
        changed += a[i] != 0x55;
    }
    EXPECT_GT(changed, 90);  // a random byte may equal 0x55 now and then

    full.seed = 8;
    EXPECT_NE(run(full).first, a);

    auto [half, noisedHalf] = run(NoiseBurst{0, 200, 0.5, 3});
    EXPECT_GT(noisedHalf, 60u);
    EXPECT_LT(noisedHalf, 140u);
    EXPECT_EQ(run(NoiseBurst{0, 200, 0.0, 3}).second, 0u);
}

TEST(LineShaper, StallHoldsTheChosenByteAndWhatFollows)
{
    DirectionOptions o;
    o.stalls.push_back(Stall{2, 300});
    o.latencyUs = 1000;
    LineShaper s(o);
    auto data = counting(4);
    s.push(data.data(), 4, 10 * kMs);
    auto out = takeAll(s);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[1].dueNs, 11 * kMs);
    EXPECT_EQ(out[2].dueNs, 311 * kMs);
    EXPECT_EQ(out[3].dueNs, 311 * kMs);
    EXPECT_EQ(s.stats().stalls, 1u);
}

} // namespace

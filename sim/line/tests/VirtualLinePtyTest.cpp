// The virtual line on real pseudo-terminals: pacing, latency, faults,
// speed matching and how it ends.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <numeric>
#include <unistd.h>

#include "testkit/Pty.h"
#include "sim/line/VirtualLine.h"

using namespace testkit;

namespace {

// Waits (at most 2 s of real time) until the line has looked at both ends'
// speeds and gone to sleep twice since the call: a speed set before the call
// is then the one the line judges the next write by.
bool lineSettled(const VirtualLine& line)
{
    const std::uint64_t start = line.sleeps();
    return waitUntil([&] { return line.sleeps() >= start + 2; }, 2000);
}

std::vector<std::uint8_t> counting(std::size_t n)
{
    std::vector<std::uint8_t> v(n);
    std::iota(v.begin(), v.end(), std::uint8_t{0});
    return v;
}

// A started line with both ends opened raw by the test.
struct OpenLine {
    explicit OpenLine(LineOptions options, int baudA = 0, int baudB = 0) : line(std::move(options))
    {
        EXPECT_EQ(line.start(), 0);
        a = openRawDevice(line.path(END_A), baudA);
        b = openRawDevice(line.path(END_B), baudB);
        EXPECT_GE(a, 0);
        EXPECT_GE(b, 0);
    }
    ~OpenLine()
    {
        line.stop();
        line.wait();
        if (a >= 0)
            ::close(a);
        if (b >= 0)
            ::close(b);
    }
    VirtualLine line;
    int a = -1;
    int b = -1;
};

TEST(VirtualLinePty, CarriesBytesBothWaysUnchanged)
{
    OpenLine l(LineOptions{});
    std::vector<std::uint8_t> data(20000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    ASSERT_TRUE(writeAllTo(l.a, data));
    EXPECT_EQ(readUpTo(l.b, data.size(), 5000), data);
    ASSERT_TRUE(writeAllTo(l.b, counting(256)));
    EXPECT_EQ(readUpTo(l.a, 256, 5000), counting(256));
    EXPECT_EQ(l.line.stats(A_TO_B).bytesOut, data.size());
}

TEST(VirtualLinePty, PacesAtTheBaudRateAndAddsLatency)
{
    LineOptions o;
    o.aToB.baud = 38400;  // 3840 bytes a second
    o.bToA.latencyUs = 80'000;
    OpenLine l(o);
    std::vector<std::uint8_t> data(1920, 0x5A);
    double start = nowSeconds();
    ASSERT_TRUE(writeAllTo(l.a, data));
    auto firstByte = readUpTo(l.b, 1, 2000);
    double first = nowSeconds() - start;
    auto rest = readUpTo(l.b, data.size() - 1, 5000);
    double all = nowSeconds() - start;
    EXPECT_EQ(firstByte.size() + rest.size(), data.size());
    EXPECT_LT(first, 0.1);
    EXPECT_GT(all, 0.49);  // 1920 bytes take 0.5 s on the wire
    EXPECT_LT(all, 1.0);

    start = nowSeconds();
    ASSERT_TRUE(writeAllTo(l.b, {0x42}));
    EXPECT_EQ(readUpTo(l.a, 1, 2000).size(), 1u);
    double latency = nowSeconds() - start;
    EXPECT_GT(latency, 0.079);
    EXPECT_LT(latency, 0.4);
}

TEST(VirtualLinePty, InjectsTheChosenFaults)
{
    LineOptions o;
    o.aToB.drop = {3};
    o.aToB.corrupt = {5};
    o.aToB.duplicate = {7};
    o.aToB.noise.push_back(NoiseBurst{20, 10, 1.0, 4});
    o.aToB.stalls.push_back(Stall{40, 300});
    OpenLine l(o);
    auto data = counting(50);
    double start = nowSeconds();
    ASSERT_TRUE(writeAllTo(l.a, data));
    auto early = readUpTo(l.b, 40, 2000);
    double beforeStall = nowSeconds() - start;
    auto late = readUpTo(l.b, 10, 2000);
    double afterStall = nowSeconds() - start;
    EXPECT_LT(beforeStall, 0.25);
    EXPECT_GT(afterStall, 0.29);

    std::vector<std::uint8_t> got = early;
    got.insert(got.end(), late.begin(), late.end());
    ASSERT_EQ(got.size(), 50u);  // one lost, one doubled
    std::vector<std::uint8_t> expectHead = {0, 1, 2, 4, 5 ^ 0xFF, 6, 7, 7, 8};
    EXPECT_EQ(std::vector<std::uint8_t>(got.begin(), got.begin() + 9), expectHead);
    // Indices 20..29 arrive at positions 20..29 (one lost, one doubled before).
    int noisy = 0;
    for (int i = 20; i < 30; ++i)
        noisy += got[i] != data[i];
    EXPECT_GE(noisy, 8);
    EXPECT_EQ(std::vector<std::uint8_t>(got.begin() + 30, got.end()),
              std::vector<std::uint8_t>(data.begin() + 30, data.end()));
    DirectionStats s = l.line.stats(A_TO_B);
    EXPECT_EQ(s.dropped, 1u);
    EXPECT_EQ(s.noised, 10u);
    EXPECT_EQ(s.stalls, 1u);
}

TEST(VirtualLinePty, SpeedMatchLosesBytesUntilBothEndsAgree)
{
    std::mutex m;
    std::vector<std::pair<int, int>> seen;
    LineOptions o;
    o.speedMatch = true;
    o.onSpeed = [&](int end, int baud) {
        std::lock_guard<std::mutex> lock(m);
        seen.emplace_back(end, baud);
    };
    OpenLine l(o, 57600, 38400);
    // Speeds set before the bytes are written, and looked at by the line
    // since (a change made just before a write may still pass).
    ASSERT_TRUE(lineSettled(l.line));
    ASSERT_TRUE(writeAllTo(l.a, counting(20)));
    ASSERT_TRUE(writeAllTo(l.b, counting(20)));
    EXPECT_TRUE(readUpTo(l.b, 1, 300).empty());
    EXPECT_TRUE(readUpTo(l.a, 1, 100).empty());
    EXPECT_EQ(l.line.stats(A_TO_B).speedLost, 20u);
    EXPECT_EQ(l.line.stats(B_TO_A).speedLost, 20u);
    EXPECT_EQ(l.line.speed(END_A), 57600);
    EXPECT_EQ(l.line.speed(END_B), 38400);

    ASSERT_EQ(makeRaw(l.b, 57600), 0);
    ASSERT_TRUE(writeAllTo(l.a, counting(20)));
    EXPECT_EQ(readUpTo(l.b, 20, 2000), counting(20));
    ASSERT_TRUE(writeAllTo(l.b, counting(5)));
    EXPECT_EQ(readUpTo(l.a, 5, 2000), counting(5));

    std::lock_guard<std::mutex> lock(m);
    EXPECT_NE(std::find(seen.begin(), seen.end(), std::pair{int(END_B), 38400}), seen.end());
    EXPECT_EQ(seen.back(), (std::pair{int(END_B), 57600}));
}

// A host that writes its last byte and at once changes its speed (closing
// its port puts the old speed back) wrote that byte at the speed it had.
TEST(VirtualLinePty, SpeedMatchKeepsAByteWrittenJustBeforeASpeedChange)
{
    std::mutex m;
    std::condition_variable cv;
    bool armed = false, inside = false, released = false;
    LineOptions o;
    o.speedMatch = true;
    // Holds the line's thread in its look at end A's new speed, so that
    // the test can write and change the speed again before the line reads:
    // the line then reads the byte only after the change, every time.
    o.onSpeed = [&](int end, int baud) {
        std::unique_lock<std::mutex> lock(m);
        if (!armed || end != END_A || baud != 57600)
            return;
        armed = false;
        inside = true;
        cv.notify_all();
        cv.wait_for(lock, std::chrono::seconds(2), [&] { return released; });
    };
    OpenLine l(o, 38400, 57600);
    ASSERT_TRUE(lineSettled(l.line));
    {
        std::unique_lock<std::mutex> lock(m);
        armed = true;
    }
    ASSERT_EQ(makeRaw(l.a, 57600), 0);
    bool held;
    {
        std::unique_lock<std::mutex> lock(m);
        held = cv.wait_for(lock, std::chrono::seconds(2), [&] { return inside; });
    }
    bool wrote = writeAllTo(l.a, {0xA5});
    int changed = makeRaw(l.a, 38400);
    {
        std::lock_guard<std::mutex> lock(m);
        released = true;
        cv.notify_all();
    }
    ASSERT_TRUE(held);
    ASSERT_TRUE(wrote);
    ASSERT_EQ(changed, 0);
    EXPECT_EQ(readUpTo(l.b, 1, 2000), std::vector<std::uint8_t>{0xA5});

    // The same without holding the line, as a host does it.
    for (std::uint8_t round = 0; round < 5; ++round) {
        ASSERT_EQ(makeRaw(l.a, 57600), 0);
        ASSERT_TRUE(lineSettled(l.line));
        ASSERT_TRUE(writeAllTo(l.a, {round}));
        ASSERT_EQ(makeRaw(l.a, 38400), 0);
        EXPECT_EQ(readUpTo(l.b, 1, 2000), std::vector<std::uint8_t>{round});
    }
    // Written well after the change, a byte is lost again.
    ASSERT_TRUE(lineSettled(l.line));
    ASSERT_TRUE(writeAllTo(l.a, {0x77}));
    EXPECT_TRUE(readUpTo(l.b, 1, 300).empty());
    EXPECT_EQ(l.line.stats(A_TO_B).speedLost, 1u);
    EXPECT_EQ(l.line.stats(A_TO_B).bytesOut, 6u);
}

TEST(VirtualLinePty, EndsWhenAnEndIsClosedAfterDeliveringItsLastBytes)
{
    LineOptions o;
    o.aToB.latencyUs = 100'000;
    VirtualLine line(o);
    ASSERT_EQ(line.start(), 0);
    int a = openRawDevice(line.path(END_A));
    int b = openRawDevice(line.path(END_B));
    ASSERT_TRUE(writeAllTo(a, counting(10)));
    ::close(a);
    EXPECT_EQ(readUpTo(b, 10, 2000), counting(10));
    EXPECT_EQ(line.wait(), LineEndReason::EndClosed);
    EXPECT_TRUE(waitHangUp(b, 1000));
    ::close(b);
}

TEST(VirtualLinePty, EndsAtItsTimeAndIdleLimits)
{
    LineOptions timed;
    timed.timeLimitMs = 200;
    VirtualLine t(timed);
    double start = nowSeconds();
    ASSERT_EQ(t.start(), 0);
    EXPECT_EQ(t.wait(), LineEndReason::TimeLimit);
    EXPECT_NEAR(nowSeconds() - start, 0.2, 0.15);

    LineOptions idle;
    idle.idleLimitMs = 300;
    VirtualLine i(idle);
    ASSERT_EQ(i.start(), 0);
    int a = openRawDevice(i.path(END_A));
    start = nowSeconds();
    for (int k = 0; k < 4; ++k) {
        usleep(150'000);
        ASSERT_TRUE(writeAllTo(a, {1}));  // keeps the line busy
    }
    EXPECT_EQ(i.endReason(), LineEndReason::Running);
    EXPECT_EQ(i.wait(), LineEndReason::IdleLimit);
    EXPECT_GT(nowSeconds() - start, 0.85);
    ::close(a);
}

TEST(VirtualLinePty, HoldOpenKeepsTheLineAcrossAReopenAndMakesLinks)
{
    auto dir = std::filesystem::temp_directory_path() / ("simline-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    LineOptions o;
    o.holdOpen = true;
    o.linkA = (dir / "portA").string();
    o.linkB = (dir / "portB").string();
    VirtualLine line(o);
    ASSERT_EQ(line.start(), 0);
    EXPECT_EQ(std::filesystem::read_symlink(o.linkA).string(), line.path(END_A));
    int a = openRawDevice(o.linkA);
    int b = openRawDevice(o.linkB);
    ::close(a);
    usleep(100'000);
    EXPECT_EQ(line.endReason(), LineEndReason::Running);
    ASSERT_TRUE(writeAllTo(b, counting(8)));  // waits for the next user of A
    EXPECT_TRUE(waitUntil([&] { return line.stats(B_TO_A).bytesIn == 8; }, 2000));
    a = openRawDevice(o.linkA);
    EXPECT_EQ(readUpTo(a, 8, 2000), counting(8));
    line.stop();
    EXPECT_EQ(line.wait(), LineEndReason::Stopped);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(o.linkA)));
    ::close(a);
    ::close(b);
    std::filesystem::remove_all(dir);
}

} // namespace

// Interoperability with lrzsz's sx and rx over the virtual line: both
// directions, 128- and 1024-byte blocks, CRC and checksum, edge sizes, and
// a line with faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

#include "testkit/ScratchDir.h"
#include "testkit/Files.h"
#include "tools/unitxfer/tests/XferHarness.h"

using namespace testkit;

namespace {

// rx throws away its input right after it answers, so a sender that
// answers at once could lose its next block on an unpaced pty; a
// millisecond each way keeps it in step.
constexpr int kLatencyUs = 1000;
constexpr int kLimitMs = 120000;

struct Case {
    bool oursSends;
    std::size_t size;
    bool oneK;
    bool crc;
};

std::string caseName(const testing::TestParamInfo<Case>& info)
{
    const Case& c = info.param;
    return std::string(c.oursSends ? "OursToRx" : "SxToOurs") + "_" + std::to_string(c.size) + "_"
        + (c.oneK ? "1k" : "128") + "_" + (c.crc ? "Crc" : "Checksum");
}

// Waits (at most 5 s) until the program on end has set its rate, then a
// moment more for it to start its transfer.
void waitForRate(const VirtualLine& line, int end, int baud)
{
    for (int i = 0; i < 500 && line.speed(end) != baud; ++i)
        usleep(10'000);
    usleep(50'000);
}

std::string lineReport(VirtualLine& line)
{
    line.wait();
    DirectionStats a = line.stats(A_TO_B);
    DirectionStats b = line.stats(B_TO_A);
    return std::string("line: ") + lineEndReasonText(line.endReason()) + "; A to B " + std::to_string(a.bytesIn)
        + " in, " + std::to_string(a.bytesOut) + " out; B to A " + std::to_string(b.bytesIn) + " in, "
        + std::to_string(b.bytesOut) + " out\n";
}

// sx pads its last block with 0x1A; our receiver keeps whole blocks.
void expectPaddedWith1A(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& data)
{
    ASSERT_GE(got.size(), data.size());
    EXPECT_EQ(got.size() % 128, 0u);
    EXPECT_LT(got.size() - data.size(), 1024u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), got.begin()));
    EXPECT_TRUE(std::all_of(got.begin() + static_cast<std::ptrdiff_t>(data.size()), got.end(),
                            [](std::uint8_t b) { return b == 0x1A; }));
}

// Our sender on end B to rx on end A.
void oursToRx(const Case& c, const DirectionOptions* aToB = nullptr, const DirectionOptions* bToA = nullptr)
{
    ScratchDir dir;
    auto data = patternBytes(c.size, static_cast<unsigned>(c.size));
    ASSERT_TRUE(writeBytes(dir / "in.bin", data));
    auto line = startLine(kLatencyUs, 0, kLimitMs, aToB, bToA);
    ASSERT_TRUE(line);
    std::vector<std::string> rxArgs = {"rx", "-X"};
    if (c.crc)
        rxArgs.push_back("-c");
    rxArgs.push_back("out.bin");  // rx refuses an absolute path
    PipePeer rx(PipePeer::relayed(rxArgs, line->path(END_A), 57600, dir.prefix(), dir / "rx.log"));
    std::vector<std::string> args = {"send", "--baud", "57600"};
    if (c.oneK)
        args.push_back("--1k");
    args.push_back(line->path(END_B));
    args.push_back(dir / "in.bin");
    PipePeer ours(unitxferCommand(args, dir / "ours.txt"));
    // Our sender discards what waits on the line when it starts: rx's first
    // 'C' must come after that, or the start costs rx's 10-second retry.
    ASSERT_EQ(ours.start(), 0);
    waitForRate(*line, END_B, 57600);
    ASSERT_EQ(rx.start(), 0);
    int oursStatus = ours.wait(kLimitMs);
    int rxStatus = rx.wait(kLimitMs);
    std::string report = readText(dir / "ours.txt") + readText(dir / "rx.log") + lineReport(*line);
    if (c.size == 0) {
        // Our sender has nothing for the first block: -903, and rx is
        // cancelled.
        EXPECT_EQ(oursStatus, 1) << report;
        EXPECT_NE(report.find("result -903"), std::string::npos) << report;
        EXPECT_NE(rxStatus, 0) << report;
        return;
    }
    EXPECT_EQ(oursStatus, 0) << report;
    EXPECT_EQ(rxStatus, 0) << report;
    EXPECT_EQ(readBytes(dir / "out.bin"), paddedLikeOurSender(data, c.oneK)) << report;
}

// sx on end A to our receiver on end B. For the checksum, the line drops
// our receiver's first three 'C's, so that it falls back to NAK.
void sxToOurs(const Case& c, const DirectionOptions* aToB = nullptr, const DirectionOptions* bToA = nullptr)
{
    ScratchDir dir;
    auto data = patternBytes(c.size, static_cast<unsigned>(c.size) + 7);
    ASSERT_TRUE(writeBytes(dir / "in.bin", data));
    DirectionOptions noCrcStart;
    if (!c.crc && !bToA) {
        noCrcStart.drop = {0, 1, 2};
        bToA = &noCrcStart;
    }
    auto line = startLine(kLatencyUs, 0, kLimitMs, aToB, bToA);
    ASSERT_TRUE(line);
    std::vector<std::string> sxArgs = {"sx", "-X"};
    if (c.oneK)
        sxArgs.push_back("-k");
    sxArgs.push_back("in.bin");
    PipePeer sx(PipePeer::relayed(sxArgs, line->path(END_A), 57600, dir.prefix(), dir / "sx.log"));
    PipePeer ours(unitxferCommand({"receive", "--baud", "57600", line->path(END_B), dir / "out.bin"},
                                  dir / "ours.txt"));
    ASSERT_EQ(ours.start(), 0);
    ASSERT_EQ(sx.start(), 0);
    int oursStatus = ours.wait(kLimitMs);
    int sxStatus = sx.wait(kLimitMs);
    std::string report = readText(dir / "ours.txt") + readText(dir / "sx.log") + lineReport(*line);
    EXPECT_EQ(oursStatus, 0) << report;
    EXPECT_EQ(sxStatus, 0) << report;
    expectPaddedWith1A(readBytes(dir / "out.bin"), data);
}

class Interop : public testing::TestWithParam<Case> {};

TEST_P(Interop, FileArrivesWhole)
{
    const Case& c = GetParam();
    if (c.oursSends)
        oursToRx(c);
    else
        sxToOurs(c);
}

std::vector<Case> allCases()
{
    std::vector<Case> cases;
    for (std::size_t size : {0, 1, 127, 128, 129, 1023, 1024, 1025, 262144}) {
        for (bool oneK : {false, true}) {
            for (bool crc : {true, false})
                cases.push_back({true, size, oneK, crc});
            cases.push_back({false, size, oneK, true});
        }
    }
    // Each checksum case from sx costs our receiver's three 5-second start
    // waits: two sizes show the fall-back works with both block sizes.
    cases.push_back({false, 129, false, false});
    cases.push_back({false, 1025, true, false});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Lrzsz, Interop, testing::ValuesIn(allCases()), caseName);

TEST(InteropFaults, OurSenderToRxSurvivesDropCorruptionAndNoise)
{
    DirectionOptions data;  // our blocks travel B to A
    data.drop = {3000};
    data.corrupt = {7000};
    data.noise.push_back(NoiseBurst{12000, 40, 0.5, 11});
    DirectionOptions answers;  // rx's ACKs
    answers.corrupt = {4};
    oursToRx({true, 20480, true, true}, &answers, &data);
}

TEST(InteropFaults, SxToOurReceiverSurvivesDropCorruptionAndNoise)
{
    DirectionOptions data;  // sx's blocks travel A to B
    data.drop = {2500};
    data.corrupt = {6000};
    data.noise.push_back(NoiseBurst{9000, 60, 0.5, 12});
    DirectionOptions answers;  // our ACKs
    answers.corrupt = {6};
    sxToOurs({false, 20480, true, true}, &data, &answers);
}

} // namespace

// unitxfer end to end between the two ends of the virtual line, and its
// answers to bad input and to a peer that goes away.
#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

#include "testkit/Pty.h"
#include "testkit/ScratchDir.h"
#include "testkit/Files.h"
#include "tools/unitxfer/tests/XferHarness.h"

using namespace testkit;

namespace {

TEST(UnitxferPty, SendsToItselfByPortNameAndByPath)
{
    ScratchDir dir;
    auto data = patternBytes(5000, 1);
    ASSERT_TRUE(writeBytes(dir / "in.bin", data));
    auto line = startLine(500, 0, 60000);
    ASSERT_TRUE(line);
    PipePeer receiver(unitxferCommand({"receive", "--baud", "38400", line->path(END_A), dir / "out.bin"},
                                      dir / "receiver.txt"));
    PipePeer sender(unitxferCommand({"send", "--1k", "--baud", "38400", "Comm 2", dir / "in.bin"},
                                    dir / "sender.txt",
                                    {"UNITFLASH_PORTS=/dev/null-none," + line->path(END_B)}));
    // The sender first: it discards what is waiting when it starts, which
    // would cost a start request and five seconds.
    ASSERT_EQ(sender.start(), 0);
    ASSERT_EQ(receiver.start(), 0);
    EXPECT_EQ(sender.wait(60000), 0) << readText(dir / "sender.txt");
    EXPECT_EQ(receiver.wait(60000), 0) << readText(dir / "receiver.txt");
    EXPECT_EQ(readBytes(dir / "out.bin"), paddedLikeOurSender(data, true));
    EXPECT_EQ(readText(dir / "sender.txt"), "unitxfer: sending " + (dir / "in.bin") + ": result 0: success\n");
}

TEST(UnitxferPty, ReportsAMissingFileAndAMissingTargetFolder)
{
    ScratchDir dir;
    auto line = startLine(0, 0, 30000);
    ASSERT_TRUE(line);
    PipePeer send(unitxferCommand({"send", line->path(END_A), dir / "absent.bin"}, dir / "send.txt"));
    ASSERT_EQ(send.start(), 0);
    EXPECT_EQ(send.wait(20000), 1);
    EXPECT_NE(readText(dir / "send.txt").find("result -926: no file to send"), std::string::npos)
        << readText(dir / "send.txt");

    // The line ended when the sender closed its end: take a new one.
    line = startLine(0, 0, 30000);
    ASSERT_TRUE(line);
    PipePeer receive(unitxferCommand({"receive", line->path(END_B), dir / "no/such/dir/out.bin"},
                                     dir / "receive.txt"));
    ASSERT_EQ(receive.start(), 0);
    EXPECT_EQ(receive.wait(20000), 1);
    EXPECT_NE(readText(dir / "receive.txt").find("result -902: the file could not be opened"),
              std::string::npos)
        << readText(dir / "receive.txt");

    PipePeer badPort(unitxferCommand({"send", dir / "not-a-port", dir / "absent.bin"}, dir / "port.txt"));
    ASSERT_EQ(badPort.start(), 0);
    EXPECT_EQ(badPort.wait(20000), 1);
    EXPECT_NE(readText(dir / "port.txt").find("opening"), std::string::npos);

    PipePeer usage(unitxferCommand({"send", "--baud", "fast", "x", "y"}, dir / "usage.txt"));
    ASSERT_EQ(usage.start(), 0);
    EXPECT_EQ(usage.wait(20000), 2);
}

TEST(UnitxferPty, FailsSoonWhenThePeerDisappearsMidTransfer)
{
    ScratchDir dir;
    ASSERT_TRUE(writeBytes(dir / "big.bin", patternBytes(400000, 2)));
    // Paced, so the transfer is still running when the receiver goes.
    auto line = startLine(0, 115200, 60000);
    ASSERT_TRUE(line);
    auto receiver = std::make_unique<PipePeer>(unitxferCommand(
        {"receive", "--baud", "115200", line->path(END_A), dir / "out.bin"}, dir / "receiver.txt"));
    PipePeer sender(unitxferCommand({"send", "--1k", "--baud", "115200", line->path(END_B), dir / "big.bin"},
                                    dir / "sender.txt"));
    ASSERT_EQ(receiver->start(), 0);
    ASSERT_EQ(sender.start(), 0);
    // Let some blocks through (the whole file takes over 30 s), then pull
    // the plug on the receiver.
    EXPECT_TRUE(waitUntil([&] { return line->stats(B_TO_A).bytesOut >= 16384; }, 20000));
    EXPECT_EQ(line->endReason(), LineEndReason::Running);
    receiver.reset();  // kills it
    double start = nowSeconds();
    EXPECT_EQ(sender.wait(30000), 1);
    EXPECT_LT(nowSeconds() - start, 15.0);
    std::string out = readText(dir / "sender.txt");
    EXPECT_NE(out.find("result -"), std::string::npos) << out;
}

} // namespace

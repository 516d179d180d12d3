// The virtual unit answered by independent XMODEM peers on its paced line:
// Debian's lrzsz (sx, rx) and the project's unitxfer tool.
#include <gtest/gtest.h>

#include "sim/unit/FactoryImages.h"
#include "sim/unit/tests/HostVersion.h"
#include "sim/line/PipePeer.h"
#include "sim/unit/UnitState.h"
#include "sim/unit/UnitsimProcess.h"
#include "testkit/ChildRun.h"
#include "testkit/Files.h"
#include "testkit/RecordFill.h"
#include "testkit/ScratchDir.h"

using namespace testkit;

namespace {

std::vector<std::uint8_t> firmware(const std::string& version, std::size_t size)
{
    std::vector<std::uint8_t> payload(size);
    for (std::size_t i = 0; i < size; ++i)
        payload[i] = static_cast<std::uint8_t>((i * 31) ^ (i >> 8));
    std::string tag = "FWVER=" + version;
    std::copy(tag.begin(), tag.end(), payload.begin() + 10);
    return loadHeaderImage(0xD0000, payload);
}

// Runs an lrzsz program against the unit through pipes (lrzsz flushes its
// terminal when it exits and would lose its last byte on a pty).
int lrzsz(UnitsimProcess& unit, const ScratchDir& dir, std::vector<std::string> argv)
{
    PipePeer::Options options;
    options.argv = std::move(argv);
    options.workDir = dir.path();
    options.device = unit.linkPath();
    options.baud = 38400;
    options.stderrPath = dir.file("peer.err");
    PipePeer peer(options);
    if (peer.start() != 0)
        return -1;
    return peer.wait(60000);
}

// Hands the line to another program after a command: the test lets go of
// the port, since a serial device has one holder at a time.
void commandThenRelease(UnitsimProcess& unit, const std::string& command, int baud = 38400)
{
    ASSERT_TRUE(unit.openHost(baud));
    std::size_t before = 0;
    for (const auto& e : unit.events())
        before += e.value("event", "") == "command" && e.value("text", "") == command;
    unit.send(command);
    EXPECT_TRUE(unit.waitForEvents("command", before + 1, 3000, command)) << command;
    unit.closeHost();
}

// The result of the n-th transfer, from the transcript.
int transferResult(UnitsimProcess& unit, std::size_t n)
{
    EXPECT_TRUE(unit.waitForEvents("transfer", n, 5000));
    std::size_t seen = 0;
    for (const auto& e : unit.events())
        if (e.value("event", "") == "transfer" && ++seen == n)
            return e.value("result", 1);
    return 1;
}

double versionNow(UnitsimProcess& unit, int baud = 38400)
{
    EXPECT_TRUE(unit.openHost(baud));
    unit.send("idn? k");
    double version = hostVersion(unit.readReply());
    unit.closeHost();
    return version;
}

TEST(UnitsimPeers, LrzszUploadsWithBothBlockSizes)
{
    ScratchDir dir("sx");
    const std::string state = dir.file("state");
    {
        UnitsimProcess unit(dir.path(), {"--state", state});
        ASSERT_TRUE(unit.started()) << unit.output();
        ASSERT_TRUE(writeBytes(dir.file("a.bin"), firmware("1.250", 2000)));
        commandThenRelease(unit, "btx");
        EXPECT_EQ(lrzsz(unit, dir, {"sx", "-X", "a.bin"}), 0);
        EXPECT_EQ(transferResult(unit, 1), 0);
        EXPECT_DOUBLE_EQ(versionNow(unit), 1.25);

        ASSERT_TRUE(writeBytes(dir.file("b.bin"), firmware("1.312", 5000)));
        commandThenRelease(unit, "btx");
        EXPECT_EQ(lrzsz(unit, dir, {"sx", "-X", "-k", "b.bin"}), 0);
        EXPECT_EQ(transferResult(unit, 2), 0);
        EXPECT_DOUBLE_EQ(versionNow(unit), 1.312);
        EXPECT_EQ(unit.stop(), 0);
    }
    UnitState dumped;
    std::string error;
    ASSERT_TRUE(loadState(state, dumped, error)) << error;
    std::vector<std::uint8_t> flash, image = firmware("1.312", 5000);
    dumped.flash.read(0xD0000, 5000, flash);
    EXPECT_TRUE(std::equal(image.begin() + 32, image.end(), flash.begin()));
    // sx pads its last block with 0x1A; the loader stops at the declared end.
    dumped.flash.read(0xD0000 + 5000, 1, flash);
    EXPECT_EQ(flash[0], 0xFF);
}

TEST(UnitsimPeers, LrzszDownloadsTheCableDatabase)
{
    ScratchDir dir("rx");
    UnitsimProcess unit(dir.path(), {"--serial", "C00000123", "--version", "1.221"});
    ASSERT_TRUE(unit.started()) << unit.output();
    commandThenRelease(unit, "xmodem B6220 960 G");
    EXPECT_EQ(lrzsz(unit, dir, {"rx", "-X", "-c", "cables.bin"}), 0);
    std::vector<std::uint8_t> got = readBytes(dir.file("cables.bin"));
    std::vector<std::uint8_t> expected = makeCableDatabase("C00000123");
    ASSERT_GE(got.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), got.begin()));
}

TEST(UnitsimPeers, UnitxferBothWaysOnThePacedLine)
{
    ScratchDir dir("unitxfer");
    UnitsimProcess unit(dir.path(), {"--baud", "57600"});
    ASSERT_TRUE(unit.started()) << unit.output();
    ASSERT_TRUE(writeBytes(dir.file("fw.bin"), firmware("1.400", 20000)));
    commandThenRelease(unit, "btx", 57600);
    const ChildResult send = runProgram(UNITXFER_PATH, {UNITXFER_PATH, "send", "--1k", "--baud", "57600", unit.linkPath(), "fw.bin"},
                                        dir.path(), {-1, 60000});
    EXPECT_EQ(send.exitStatus, 0) << send.out << send.err;
    EXPECT_EQ(transferResult(unit, 1), 0);
    EXPECT_DOUBLE_EQ(versionNow(unit, 57600), 1.4);

    commandThenRelease(unit, "xmodem 0D0000 4E20 G", 57600);
    const auto start = std::chrono::steady_clock::now();
    const ChildResult receive = runProgram(UNITXFER_PATH, {UNITXFER_PATH, "receive", "--baud", "57600", unit.linkPath(), "back.bin"},
                                           dir.path(), {-1, 60000});
    EXPECT_EQ(receive.exitStatus, 0) << receive.out << receive.err;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // 20000 bytes at 5760 bytes a second take at least 3.4 s on a paced line.
    EXPECT_GT(seconds, 3.4);
    std::vector<std::uint8_t> back = readBytes(dir.file("back.bin")), image = firmware("1.400", 20000);
    ASSERT_GE(back.size(), 20000u);
    EXPECT_TRUE(std::equal(image.begin() + 32, image.end(), back.begin()));
}

}  // namespace

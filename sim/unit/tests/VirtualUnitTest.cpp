// The unit's service loop against the host's own XMODEM engine, two fake
// ports joined back to back in virtual time: how fast transfers start after
// their commands, and what a failed upload or a power cut leaves behind.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include "sim/unit/FactoryImages.h"
#include "testkit/PipePair.h"
#include "testkit/RecordingStatus.h"
#include "testkit/ScratchDir.h"
#include "testkit/Files.h"
#include "sim/unit/UnitLinePort.h"
#include "sim/unit/VirtualUnit.h"
#include "comlink/CommLink.h"
#include "transfer/Xmodem1kTransfer.h"

using namespace testkit;

namespace {

struct Bench {
    Bench()
    {
        UnitIdentity id;
        std::string error;
        EXPECT_TRUE(makeFactoryState(id, nullptr, state, error)) << error;
    }

    // Runs the unit on side 0 until the host function on side 1 returns.
    UnitEnd run(const std::function<void(CommLink&)>& host)
    {
        std::atomic<bool> stop{false};
        UnitEnd end = UnitEnd::Stopped;
        pair.run(
            [&](FakePort& port) {
                StartRequestClock clock(pair.clock);
                UnitLinePort line(port);
                CommLink link(&line, &clock);
                Transcript transcript(pair.clock);
                transcript.open(dir / "transcript.jsonl");
                VirtualUnit unit(state, behaviour, transcript);
                end = unit.run(link, clock, stop);
                commands = unit.commandsCarriedOut();
            },
            [&](FakePort& port) {
                CommLink link(&port, &pair.clock);
                host(link);
                stop = true;
            });
        return end;
    }

    std::string readReply(CommLink& link)
    {
        std::string reply;
        for (int ch; reply.find(">>") == std::string::npos && (ch = link.readChar(1000)) >= 0;)
            reply += static_cast<char>(ch);
        return reply;
    }

    PipePair pair;
    ScratchDir dir;
    UnitState state;
    UnitBehaviour behaviour;
    int commands = 0;
};

TEST(VirtualUnit, UploadAfterTheEnginesBtxStartsWithinTheStartRequestInterval)
{
    Bench bench;
    std::vector<std::uint8_t> payload(3000, 0x5C);
    std::string tag = "FWVER=1.312";
    std::copy(tag.begin(), tag.end(), payload.begin());
    std::vector<std::uint8_t> image = {'E', 'S', 'T', 'F', 'B', 'I', 'N', 'R', 0, 0x0D, 0, 0, 0, 0x0D, 0x0B, 0xB8,
                                       0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0x0D, 0, 0, 0, 0x0D, 0x0B, 0xB8};
    image.insert(image.end(), payload.begin(), payload.end());
    std::ofstream(bench.dir / "fw.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));

    int result = -1;
    std::uint32_t startedMs = 0, endedMs = 0;
    std::string after;
    bench.run([&](CommLink& host) {
        // As the upgrade sends a main-list file: "\n\nbtx\n", 1 s, the file.
        host.writeLine("\n\nbtx\n", TERM_LF);
        host.wait(1000);
        RecordingStatus status;
        XmodemTransfer transfer(&host, &status);
        startedMs = host.tickMs();
        result = transfer.sendFile((bench.dir / "fw.bin").c_str());
        endedMs = host.tickMs();
        after = bench.readReply(host);
    });
    EXPECT_EQ(result, 0);
    // The unit asks again about every second; the engine's purge ate the first.
    EXPECT_LT(endedMs - startedMs, 2500u);
    EXPECT_NE(after.find("btx OK"), std::string::npos) << after;
    EXPECT_DOUBLE_EQ(bench.state.identity.version, 1.312);
    std::vector<std::uint8_t> flash;
    bench.state.flash.read(0xD0000, 3000, flash);
    EXPECT_EQ(flash, payload);
}

TEST(VirtualUnit, DownloadStartsAtOnceAfterTheTransferCommand)
{
    Bench bench;
    int result = -1;
    std::uint32_t startedMs = 0, endedMs = 0;
    bench.run([&](CommLink& host) {
        // The command text ends in LF and sendCommand adds one more: the
        // unit must neither take that LF as a protocol byte nor lose the
        // host's start request behind it.
        host.writeLine("xmodem 0B6220 960 G\n", TERM_LF);
        RecordingStatus status;
        Xmodem1kTransfer transfer(&host, &status);
        startedMs = host.tickMs();
        result = transfer.receiveFile((bench.dir / "custom_cables.in").c_str());
        endedMs = host.tickMs();
    });
    EXPECT_EQ(result, 0);
    EXPECT_LT(endedMs - startedMs, 1000u);
    std::ifstream in(bench.dir / "custom_cables.in", std::ios::binary);
    std::vector<std::uint8_t> got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::uint8_t> expected = makeCableDatabase(bench.state.identity.serial);
    ASSERT_GE(got.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), got.begin()));
}

TEST(VirtualUnit, BrokenUploadLeavesFlashAndVersionAlone)
{
    Bench bench;
    const std::vector<std::uint8_t> before = bench.state.flash.bytes();
    std::string after;
    bench.run([&](CommLink& host) {
        host.writeLine("btx", TERM_LF);
        // One good-looking 128-byte block with a load header, then a cancel.
        std::vector<std::uint8_t> block(128, 0x11);
        const char header[] = "ESTFBINR";
        std::copy(header, header + 8, block.begin());
        block[9] = 0x07;  // start 0x70000: the calibration tables
        block[13] = 0x08;
        block[25] = 0x07;
        block[29] = 0x08;
        host.wait(300);
        host.purgeInput(0);
        host.writeChar(0x01);
        host.writeChar(1);
        host.writeChar(254);
        host.write(block.data(), 128);
        std::uint16_t crc = 0;
        for (std::uint8_t b : block) {
            crc ^= static_cast<std::uint16_t>(b << 8);
            for (int k = 0; k < 8; ++k)
                crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
        }
        host.writeChar(crc >> 8);
        host.writeChar(crc & 0xFF);
        host.wait(200);
        for (int i = 0; i < 4; ++i)
            host.writeChar(0x18);
        host.wait(3000);
        after = bench.readReply(host);
    });
    EXPECT_NE(after.find("btx FAILED"), std::string::npos) << after;
    EXPECT_TRUE(bench.state.flash.bytes() == before);
    EXPECT_DOUBLE_EQ(bench.state.identity.version, 1.221);
}

TEST(VirtualUnit, PowerCutStrikesAfterTheNthNonEmptyCommand)
{
    Bench bench;
    bench.behaviour.powerCutAfter = 2;
    std::string replies;
    UnitEnd end = bench.run([&](CommLink& host) {
        for (const char* command : {"", "getuid", "", "idn? k", "getuid"}) {
            host.writeLine(command, TERM_LF);
            replies += bench.readReply(host);
        }
    });
    EXPECT_EQ(end, UnitEnd::PowerCut);
    EXPECT_EQ(bench.commands, 2);
    // The second command was answered; the third got nothing.
    EXPECT_NE(replies.find("(K 1.221)"), std::string::npos);
    EXPECT_EQ(replies.find("SN=", replies.find("(K")), std::string::npos);
}

}  // namespace

// The unit's service loop against the host's own XMODEM engine, two fake
// ports joined back to back in virtual time: how fast transfers start after
// their commands, restarts as the upgrade paces them, and what the fault
// options and a failed upload leave behind.
#include <gtest/gtest.h>

#include <functional>
#include <fstream>

#include <nlohmann/json.hpp>

#include "sim/unit/FactoryImages.h"
#include "sim/rig/UnitRig.h"
#include "testkit/RecordingStatus.h"
#include "comlink/CommLink.h"
#include "transfer/Xmodem1kTransfer.h"

using namespace testkit;

namespace {

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::size_t fileSize(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<std::size_t>(in.tellg()) : 0;
}

// The unit rig with a host that talks over a plain link.
struct Bench : UnitRig {
    // Runs the unit on one end of the line until host returns on the other.
    UnitEnd run(const std::function<void(CommLink&)>& host)
    {
        return UnitRig::run([&](FakePort& port, VirtualClock& clock) {
            CommLink link(&port, &clock);
            host(link);
        });
    }

    std::string readReply(CommLink& link)
    {
        std::string reply;
        for (int ch; reply.find(">>") == std::string::npos && (ch = link.readChar(1000)) >= 0;)
            reply += static_cast<char>(ch);
        return reply;
    }

    // Sends the file after "btx" as a main-list upload does; the result.
    int upload(CommLink& host, const std::string& path)
    {
        host.writeLine("\n\nbtx\n", TERM_LF);
        host.wait(1000);
        RecordingStatus status;
        XmodemTransfer transfer(&host, &status);
        int result = transfer.sendFile(path.c_str());
        readReply(host);
        return result;
    }

    int download(CommLink& host, const std::string& command, const std::string& path)
    {
        host.writeLine((command + "\n").c_str(), TERM_LF);
        RecordingStatus status;
        Xmodem1kTransfer transfer(&host, &status);
        int result = transfer.receiveFile(path.c_str());
        readReply(host);
        return result;
    }

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
    EXPECT_DOUBLE_EQ(bench.unit.identity.version, 1.312);
    std::vector<std::uint8_t> flash;
    bench.unit.flash.read(0xD0000, 3000, flash);
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
    std::vector<std::uint8_t> expected = makeCableDatabase(bench.unit.identity.serial);
    ASSERT_GE(got.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), got.begin()));
}

TEST(VirtualUnit, BrokenUploadLeavesFlashAndVersionAlone)
{
    Bench bench;
    const std::vector<std::uint8_t> before = bench.unit.flash.bytes();
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
    EXPECT_TRUE(bench.unit.flash.bytes() == before);
    EXPECT_DOUBLE_EQ(bench.unit.identity.version, 1.221);
}

TEST(VirtualUnit, PowerCutStrikesAfterTheNthNonEmptyOrMatchingCommand)
{
    for (const char* match : {"", "idn"}) {
        Bench bench;
        bench.behaviour.powerCutAfter = std::string(match).empty() ? 2 : 1;
        bench.behaviour.powerCutMatch = match;
        std::string replies;
        UnitEnd end = bench.run([&](CommLink& host) {
            for (const char* command : {"", "getuid", "", "idn? k", "getuid"}) {
                host.writeLine(command, TERM_LF);
                replies += bench.readReply(host);
            }
        });
        EXPECT_EQ(end, UnitEnd::PowerCut);
        EXPECT_EQ(bench.commandsCarriedOut, 2);
        // The second command was answered; the third got nothing.
        EXPECT_NE(replies.find("(K 1.221)"), std::string::npos);
        EXPECT_EQ(replies.find("SN=", replies.find("(K")), std::string::npos);
    }
}

}  // namespace

TEST(VirtualUnit, ClosingRebootsAreBothHeardWhole)
{
    Bench bench;
    std::string heard;
    bench.run([&](CommLink& host) {
        // The end of an upgrade: "reboot\n" twice, 3 s apart, nothing read.
        host.writeLine("reboot\n", TERM_LF);
        host.wait(3000);
        host.writeLine("reboot\n", TERM_LF);
        host.wait(3000);
        host.writeLine("", TERM_LF);
        heard = bench.readReply(host);
    });
    EXPECT_NE(heard.find(">>"), std::string::npos);
    ASSERT_EQ(bench.events("reboot").size(), 2u);
    auto awake = bench.events("awake");
    ASSERT_EQ(awake.size(), 2u);
    // The extra LF of each command fell into the silence.
    EXPECT_EQ(awake[0]["discarded"], "\n");
    for (const auto& command : bench.events("command"))
        EXPECT_NE(command["text"], "oot");
}

TEST(VirtualUnit, SilenceLongerThanTheEnginesPauseIsWaitedOutByItsPromptLoop)
{
    Bench bench;
    bench.behaviour.bootMs = 25000;
    int rounds = 0;
    std::string after;
    bench.run([&](CommLink& host) {
        // The calibration list: "\n", "boot\n", 20 s, a read, then the
        // prompt wait that asks with "\n", "idn? k\n", "\n" every 2.5 s.
        host.writeLine("\n", TERM_LF);
        host.writeLine("boot\n", TERM_LF);
        host.wait(20000);
        char reply[401];
        host.readString(reply, 400, -1, 500);
        do {
            ++rounds;
            for (const char* text : {"\n", "idn? k\n", "\n"})
                host.writeLine(text, TERM_LF);
            host.wait(2000);
            host.readString(reply, 400, -1, 500);
        } while (std::string(reply).find(">>") == std::string::npos && rounds < 10);
        after = reply;
    });
    EXPECT_GE(rounds, 2);
    EXPECT_LT(rounds, 10);
    EXPECT_NE(after.find(">>"), std::string::npos);
    auto awake = bench.events("awake");
    ASSERT_EQ(awake.size(), 1u);
    EXPECT_NE(awake[0]["discarded"].get<std::string>().find("idn? k\n\n"), std::string::npos);
}

TEST(VirtualUnit, SlowUploadHostIsAskedForTheFirstBlockUntilTheUnitGivesUp)
{
    Bench bench;
    writeFile(bench.dir / "fw.bin", std::string(300, 'x'));
    int late = -1;
    RecordingStatus status;
    std::string after;
    bench.run([&](CommLink& host) {
        // Long past the engine's own ten tries, still in CRC mode.
        host.writeLine("btx\n", TERM_LF);
        host.wait(15000);
        XmodemTransfer transfer(&host, &status);
        late = transfer.sendFile((bench.dir / "fw.bin").c_str());
        bench.readReply(host);
        // No file at all: the unit gives up after its wait and returns.
        host.writeLine("btx\n", TERM_LF);
        host.wait(bench.behaviour.uploadWaitMs + 2000);
        after = bench.readReply(host);
    });
    EXPECT_EQ(late, 0);
    EXPECT_EQ(status.checkKind, CHECK_CRC16);
    EXPECT_NE(after.find("btx FAILED"), std::string::npos) << after;
    auto transfers = bench.events("transfer");
    ASSERT_EQ(transfers.size(), 2u);
    EXPECT_EQ(transfers[0]["line_ends_dropped"], 1);
    EXPECT_EQ(transfers[1]["result"], XFER_NO_START);
}

TEST(VirtualUnit, UploadCancelsPickTheirVictimsByNumberOrFirstBlock)
{
    struct Case {
        int from;
        std::string match;
        std::vector<int> expected;  // per upload of kernel, app, app, app
    };
    const Case cases[] = {
        {2, "", {0, XFER_REMOTE_CANCEL, XFER_REMOTE_CANCEL, 0}},
        // The kernel comes first but does not match: the main-list file
        // is cancelled twice and then accepted.
        {1, "Cable tester app", {0, XFER_REMOTE_CANCEL, XFER_REMOTE_CANCEL, 0}},
    };
    for (const Case& c : cases) {
        Bench bench;
        bench.behaviour.cancelUploads = 2;
        bench.behaviour.cancelUploadsFrom = c.from;
        bench.behaviour.cancelUploadMatch = c.match;
        writeFile(bench.dir / "kernel.bin", "Cable tester kernel" + std::string(200, 'k'));
        writeFile(bench.dir / "app.bin", "Cable tester app" + std::string(200, 'a'));
        std::vector<int> results;
        bench.run([&](CommLink& host) {
            for (const char* name : {"kernel.bin", "app.bin", "app.bin", "app.bin"})
                results.push_back(bench.upload(host, bench.dir / name));
        });
        EXPECT_EQ(results, c.expected) << c.match;
        EXPECT_EQ(bench.events("fault").size(), 2u);
    }
}

TEST(VirtualUnit, DownloadFaultsSpoilOnlyMatchingCommands)
{
    for (int shortBytes : {0, 1024}) {
        Bench bench;
        bench.behaviour.cancelDownloads = 2;
        bench.behaviour.cancelDownloadMatch = "70000";
        bench.behaviour.shortDownloadBytes = shortBytes;
        std::vector<int> results;
        std::vector<std::size_t> sizes;
        bench.run([&](CommLink& host) {
            for (const char* command : {"xmodem 30000 800 G", "xmodem 70000 800 G", "xmodem 70000 800 G",
                                        "xmodem 70000 800 G"}) {
                results.push_back(bench.download(host, command, bench.dir / "region.bin"));
                sizes.push_back(fileSize(bench.dir / "region.bin"));
            }
        });
        if (shortBytes == 0) {
            EXPECT_EQ(results[0], 0);
            EXPECT_NE(results[1], 0);
            EXPECT_NE(results[2], 0);
            EXPECT_LT(sizes[1], 2048u);
        } else {
            // A short region arrives as a complete transfer.
            EXPECT_EQ(results, (std::vector<int>{0, 0, 0, 0}));
            EXPECT_EQ(sizes[1], 1024u);
            EXPECT_EQ(sizes[2], 1024u);
        }
        EXPECT_EQ(results[3], 0);
        EXPECT_EQ(sizes[0], 2048u);
        EXPECT_EQ(sizes[3], 2048u);
    }
}

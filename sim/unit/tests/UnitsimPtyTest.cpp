// The unitsim program on its virtual line, driven by a host-side link and
// the project's own XMODEM engine: probing, identity, uploads into flash,
// region downloads, restarts and faults.
#include <gtest/gtest.h>

#include <cstdlib>

#include "sim/unit/FactoryImages.h"
#include "sim/unit/tests/HostVersion.h"
#include "sim/unit/Sha256.h"
#include "sim/unit/UnitState.h"
#include "sim/unit/UnitsimProcess.h"
#include "testkit/ChildRun.h"
#include "testkit/Files.h"
#include "testkit/RecordFill.h"
#include "testkit/ScratchDir.h"
#include "comlink/CommLink.h"
#include "comlink/PortNames.h"
#include "comlink/PortSettings.h"
#include "comlink/PosixCommPort.h"
#include "transfer/TransferStatus.h"
#include "transfer/Xmodem1kTransfer.h"

using namespace testkit;

namespace {

// A firmware image for address 0xD0000 announcing version.
std::vector<std::uint8_t> taggedImage(const std::string& version, std::size_t size)
{
    std::vector<std::uint8_t> payload(size);
    for (std::size_t i = 0; i < size; ++i)
        payload[i] = static_cast<std::uint8_t>(i * 7 + 3);
    std::string tag = "FWVER=" + version;
    std::copy(tag.begin(), tag.end(), payload.begin() + 100);
    return loadHeaderImage(0xD0000, payload);
}

int upload(UnitsimProcess& unit, const std::string& path, bool oneK = true)
{
    unit.send("btx");
    TransferStatus status;
    if (oneK) {
        Xmodem1kTransfer transfer(&unit.host(), &status);
        return transfer.sendFile(path.c_str());
    }
    XmodemTransfer transfer(&unit.host(), &status);
    return transfer.sendFile(path.c_str());
}

int download(UnitsimProcess& unit, const std::string& command, const std::string& path)
{
    unit.send(command);
    TransferStatus status;
    Xmodem1kTransfer transfer(&unit.host(), &status);
    return transfer.receiveFile(path.c_str());
}

// Notes when the first block of a received file has arrived.
class FirstBlockClock : public TransferStatus {
public:
    explicit FirstBlockClock(CommLink& link) : link(link), startMs(link.tickMs()) {}
    void message(const char* text) override
    {
        if (firstMs < 0 && std::string(text).starts_with("Read "))
            firstMs = static_cast<int>(link.tickMs() - startMs);
    }
    CommLink& link;
    std::uint32_t startMs;
    int firstMs = -1;
};

TEST(UnitsimPty, DownloadAfterTheEnginesDoubleLineFeedStartsAtOnceOnAPacedLine)
{
    ScratchDir dir("paced-download");
    UnitsimProcess unit(dir.path(), {});
    ASSERT_TRUE(unit.started()) << unit.output();
    ASSERT_TRUE(unit.openHost(38400));
    // The race between the second LF and the unit's purge is timing
    // dependent: a few tries catch it.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const std::string command = "xmodem B6220 960 G\n\n";
        ASSERT_EQ(unit.host().write(reinterpret_cast<const std::uint8_t*>(command.data()),
                                    static_cast<int>(command.size())),
                  static_cast<int>(command.size()));
        FirstBlockClock status(unit.host());
        Xmodem1kTransfer transfer(&unit.host(), &status);
        EXPECT_EQ(transfer.receiveFile(dir.file("custom_cables.in").c_str()), 0);
        EXPECT_GE(status.firstMs, 0);
        EXPECT_LT(status.firstMs, 1000) << "attempt " << attempt;
        EXPECT_NE(unit.readReply(3000).find("xmodem OK"), std::string::npos);
    }
}

TEST(UnitsimPty, TranscriptShowsTheProbeLostAtTheWrongRateAndEachLineEnding)
{
    ScratchDir dir("probe-transcript");
    UnitsimProcess unit(dir.path(), {"--baud", "57600"});
    ASSERT_TRUE(unit.started()) << unit.output();
    // Identification: a probe at 38400, then at 57600 on the same port.
    ASSERT_TRUE(unit.openHost(38400));
    unit.send("\n");
    EXPECT_EQ(unit.readReply(500).find(">>"), std::string::npos);
    unit.host().wait(200);
    ASSERT_EQ(unit.host().settings->setBaudRate(57600), 0);
    unit.send("\n");
    EXPECT_NE(unit.readReply().find(">>"), std::string::npos);
    unit.send("idn? k\n");
    unit.readReply();
    ASSERT_TRUE(unit.waitForEvents("command", 3, 3000));

    // Both bytes of the first probe were lost at 38400 before the unit
    // heard its first command; then "\n" LF, and "idn? k" LF LF: a command
    // line and an empty one, 8 bytes.
    int lostAt38400 = 0;
    std::vector<std::string> commands;
    for (const auto& e : unit.events()) {
        if (e["event"] == "lost" && commands.empty()) {
            EXPECT_EQ(e["direction"], "to_unit");
            EXPECT_EQ(e["host_baud"], 38400);
            EXPECT_EQ(e["unit_baud"], 57600);
            lostAt38400 += e["bytes"].get<int>();
        }
        if (e["event"] == "command")
            commands.push_back(e["text"].get<std::string>() + e["end"].get<std::string>());
    }
    EXPECT_EQ(lostAt38400, 2);
    EXPECT_EQ(commands, (std::vector<std::string>{"\n", "\n", "idn? k\n", "\n"}));
}

TEST(UnitsimPty, AnswersOnlyAtItsOwnRate)
{
    for (int unitBaud : {38400, 57600}) {
        ScratchDir dir("probe");
        UnitsimProcess unit(dir.path(), {"--baud", std::to_string(unitBaud), "--no-pacing"});
        ASSERT_TRUE(unit.started()) << unit.output();
        const int wrong = unitBaud == 38400 ? 57600 : 38400;
        ASSERT_TRUE(unit.openHost(wrong));
        unit.send("");
        EXPECT_EQ(unit.readReply(500).find(">>"), std::string::npos) << "at " << wrong;
        ASSERT_TRUE(unit.openHost(unitBaud));
        unit.send("");
        std::string reply = unit.readReply();
        EXPECT_NE(reply.find(">>"), std::string::npos) << "at " << unitBaud;
        EXPECT_NE(reply.find("ne"), std::string::npos);
    }
}

TEST(UnitsimPty, IdentityRepliesForKindsAndModels)
{
    struct Case {
        std::vector<std::string> options;
        const char* marker;
        const char* model;
        double version;
    };
    const Case cases[] = {
        {{"--kind", "ne", "--model", "7355", "--serial", "K00000042"}, "ne", "Model=7355", 1.221},
        {{"--kind", "fe", "--model", "7410", "--j-model", "--serial", "K00000042"}, "fe",
         "Model=J7410", 2.013},
        {{"--kind", "fe", "--model", "7300", "--plain-version", "--version", "1.19", "--serial",
          "K00000042"}, "fe", "Model=7300", 1.19},
    };
    for (const Case& c : cases) {
        ScratchDir dir("identity");
        std::vector<std::string> options = c.options;
        options.push_back("--no-pacing");
        UnitsimProcess unit(dir.path(), options);
        ASSERT_TRUE(unit.started()) << unit.output();
        ASSERT_TRUE(unit.openHost(38400));
        unit.send("");
        std::string probe = unit.readReply();
        EXPECT_NE(probe.find(c.marker), std::string::npos) << probe;
        unit.send("getuid");
        std::string uid = unit.readReply();
        ASSERT_NE(uid.find("SN="), std::string::npos);
        EXPECT_EQ(uid.substr(uid.find("SN=") + 3, 9), "K00000042");
        EXPECT_NE(uid.find(c.model), std::string::npos) << uid;
        unit.send("idn? k");
        std::string idn = unit.readReply();
        EXPECT_DOUBLE_EQ(hostVersion(idn), c.version) << idn;
        if (std::string(c.marker) == "fe") {
            EXPECT_EQ((probe + uid + idn).find("ne"), std::string::npos);
        }
    }
}

TEST(UnitsimPty, TaggedUploadLandsInFlashAndChangesTheVersion)
{
    ScratchDir dir("upload");
    const std::string state = dir.file("state");
    std::vector<std::uint8_t> image = taggedImage("1.312", 3000);
    ASSERT_TRUE(writeBytes(dir.file("fw.bin"), image));
    {
        UnitsimProcess unit(dir.path(), {"--no-pacing", "--state", state});
        ASSERT_TRUE(unit.started()) << unit.output();
        ASSERT_TRUE(unit.openHost(38400));
        unit.send("");
        unit.readReply();
        EXPECT_EQ(upload(unit, dir.file("fw.bin")), 0);
        EXPECT_NE(unit.readReply().find("btx OK"), std::string::npos);
        unit.send("idn? k");
        EXPECT_DOUBLE_EQ(hostVersion(unit.readReply()), 1.312);

        // The region comes back exactly as the flash holds it.
        ASSERT_EQ(download(unit, "xmodem 0D0000 BB8 G", dir.file("back.bin")), 0);
        std::vector<std::uint8_t> back = readBytes(dir.file("back.bin"));
        ASSERT_GE(back.size(), 3000u);
        EXPECT_TRUE(std::equal(image.begin() + 32, image.end(), back.begin()));
        EXPECT_EQ(unit.stop(), 0);

        bool sawUpload = false;
        for (const auto& e : unit.events())
            if (e.value("event", "") == "transfer" && e.value("direction", "") == "upload") {
                sawUpload = true;
                EXPECT_EQ(e["address"], 0xD0000);
                EXPECT_EQ(e["written"], 3000);
                EXPECT_EQ(e["result"], 0);
            }
        EXPECT_TRUE(sawUpload);
    }
    UnitState dumped;
    std::string error;
    ASSERT_TRUE(loadState(state, dumped, error)) << error;
    std::vector<std::uint8_t> flash;
    dumped.flash.read(0xD0000, 3000, flash);
    EXPECT_TRUE(std::equal(image.begin() + 32, image.end(), flash.begin()));
    dumped.flash.read(0xD0000 + 3000, 16, flash);
    EXPECT_EQ(flash, std::vector<std::uint8_t>(16, 0xFF)) << "padding written past the end";
    EXPECT_DOUBLE_EQ(dumped.identity.version, 1.312);
}

TEST(UnitsimPty, CalibrationRegionDownloadIsTheFactoryImage)
{
    ScratchDir dir("region");
    UnitsimProcess unit(dir.path(), {"--no-pacing", "--kind", "fe", "--serial", "R00000007"});
    ASSERT_TRUE(unit.started()) << unit.output();
    ASSERT_TRUE(unit.openHost(38400));
    ASSERT_EQ(download(unit, "xmodem 30000 40000 G", dir.file("caltab.bin")), 0);
    std::vector<std::uint8_t> caltab = readBytes(dir.file("caltab.bin"));
    ASSERT_EQ(caltab.size(), 262144u);
    std::vector<std::uint8_t> factory = makeFactoryCalibration("R00000007", 7355);
    EXPECT_TRUE(std::equal(factory.begin(), factory.end(), caltab.begin()));
    EXPECT_EQ(caltab.back(), 0xFF);
    EXPECT_NE(unit.readReply().find("xmodem OK"), std::string::npos);
}

TEST(UnitsimPty, SilentWhileRestarting)
{
    ScratchDir dir("boot");
    UnitsimProcess unit(dir.path(), {"--no-pacing", "--boot-ms", "800"});
    ASSERT_TRUE(unit.started()) << unit.output();
    ASSERT_TRUE(unit.openHost(38400));
    unit.send("boot");
    unit.send("");
    EXPECT_EQ(unit.readFor(500), "");
    std::string banner = unit.readReply(2000);
    EXPECT_NE(banner.find(">>"), std::string::npos);
    unit.send("");
    EXPECT_NE(unit.readReply().find(">>"), std::string::npos);
}

TEST(UnitsimPty, PowerCutDumpsStateAndANewUnitResumesFromIt)
{
    ScratchDir dir("powercut");
    const std::string state = dir.file("state");
    ASSERT_TRUE(writeBytes(dir.file("fw.bin"), taggedImage("1.312", 1500)));
    {
        UnitsimProcess unit(dir.path(), {"--no-pacing", "--state", state, "--power-cut-after", "2"});
        ASSERT_TRUE(unit.started()) << unit.output();
        ASSERT_TRUE(unit.openHost(38400));
        unit.send("getuid");
        unit.readReply();
        EXPECT_EQ(upload(unit, dir.file("fw.bin"), false), 0);
        EXPECT_NE(unit.readReply().find("btx OK"), std::string::npos);
        // Dead, not gone: the state is dumped and the line stays silent.
        ASSERT_TRUE(unit.waitForEvents("fault", 1, 3000));
        for (int i = 0; i < 300 && unit.output().find("silent until") == std::string::npos; ++i)
            unit.readFor(10);
        EXPECT_TRUE(stateExists(state));
        unit.send("");
        EXPECT_EQ(unit.readFor(300), "");
        unit.closeHost();
        EXPECT_EQ(unit.stop(), 3);
        EXPECT_EQ(unit.events().back().value("reason", ""), "power cut, then stopped");
    }
    UnitsimProcess again(dir.path(), {"--no-pacing", "--state", state, "--version", "1.0"});
    ASSERT_TRUE(again.started()) << again.output();
    ASSERT_TRUE(again.openHost(38400));
    again.send("idn? k");
    EXPECT_DOUBLE_EQ(hostVersion(again.readReply()), 1.312);
    // One transcript across the power cut: the resumed unit adds to it.
    ASSERT_TRUE(again.waitForEvents("command", 3, 2000));
    auto events = again.events();
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const auto& e) { return e.value("event", "") == "start"; }),
              2);
}

TEST(UnitsimPty, CancelsTheFirstUploadsThenAccepts)
{
    ScratchDir dir("cancel");
    ASSERT_TRUE(writeBytes(dir.file("fw.bin"), taggedImage("1.400", 5000)));
    UnitsimProcess unit(dir.path(), {"--no-pacing", "--cancel-uploads", "1"});
    ASSERT_TRUE(unit.started()) << unit.output();
    ASSERT_TRUE(unit.openHost(38400));
    EXPECT_EQ(upload(unit, dir.file("fw.bin")), XFER_REMOTE_CANCEL);
    EXPECT_NE(unit.readReply(4000).find("btx FAILED"), std::string::npos);
    unit.send("idn? k");
    EXPECT_DOUBLE_EQ(hostVersion(unit.readReply()), 1.221) << "a cancelled upload changed the unit";
    EXPECT_EQ(upload(unit, dir.file("fw.bin")), 0);
    unit.readReply();
    unit.send("idn? k");
    EXPECT_DOUBLE_EQ(hostVersion(unit.readReply()), 1.4);
}

TEST(UnitsimPty, CommOneIsTheUnitThroughUnitflashPorts)
{
    ScratchDir dir("comm1");
    UnitsimProcess unit(dir.path(), {"--no-pacing", "--kind", "fe"});
    ASSERT_TRUE(unit.started()) << unit.output();
    ASSERT_EQ(::setenv("UNITFLASH_PORTS", unit.linkPath().c_str(), 1), 0);
    EXPECT_EQ(portDevicePath(parsePortName("Comm 1")), unit.linkPath());
    {
        PosixCommPort port(0, 4096, 2048);
        ASSERT_EQ(port.lastError, 0);
        CommLink link(&port);
        ASSERT_EQ(link.settings->setBaudRate(38400), 0);
        link.writeLine("", TERM_LF);
        char reply[201] = {};
        link.readString(reply, 200, -1, 500);
        EXPECT_NE(std::string(reply).find("fe>>"), std::string::npos) << reply;
    }
    ::unsetenv("UNITFLASH_PORTS");
}

TEST(UnitsimPty, LineNoiseGarblesTheConversation)
{
    ScratchDir dir("noise");
    UnitsimProcess unit(dir.path(), {"--no-pacing", "--noise", "1", "--noise-seed", "7"});
    ASSERT_TRUE(unit.started()) << unit.output();
    ASSERT_TRUE(unit.openHost(38400));
    for (int i = 0; i < 5; ++i)
        unit.send("getuid");
    std::string heard = unit.readFor(500);
    EXPECT_EQ(heard.find("SN="), std::string::npos) << heard;
    EXPECT_EQ(heard.find(">>"), std::string::npos) << heard;
}

TEST(UnitsimPty, IdleLimitEndsTheUnitAndDumpsItsState)
{
    ScratchDir dir("idle");
    UnitsimProcess unit(dir.path(), {"--no-pacing", "--idle-limit", "1", "--state", dir.file("state")});
    ASSERT_TRUE(unit.started()) << unit.output();
    EXPECT_EQ(unit.waitExit(4000), 0);
    EXPECT_TRUE(stateExists(dir.file("state")));
    EXPECT_EQ(unit.events().back().value("reason", ""), "idle limit");
}

}  // namespace

// Whole upgrades of the virtual unit by the engine's workers, in virtual
// time: what the unit was told, what its flash holds afterwards, and how
// interrupted or broken runs end.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <filesystem>
#include <fstream>

#include "sim/rig/EngineRig.h"
#include "testkit/Files.h"
#include "sim/unit/FactoryImages.h"
#include "calimage/BigEndian.h"
#include "comlink/Clock.h"
#include "engine/ResumeLog.h"
#include "process/ChildProcess.h"

namespace {

// What the set's own converters make of a calibration region: the image
// the unit must hold after the carry-over (load header, then the tables).
std::vector<std::uint8_t> convertIndependently(EngineRig& bench, const std::vector<std::uint8_t>& region,
                                               bool newFamily, const char* kind)
{
    const std::string work = bench.dir / "check";
    std::filesystem::create_directories(work);
    for (const char* tool : {"Kcnv", "Lcnv"})
        std::filesystem::copy_file(bench.set(tool), work + "/" + tool);
    std::ofstream(work + (newFamily ? "/output1.bin" : "/caltab.bin"), std::ios::binary)
        .write(reinterpret_cast<const char*>(region.data()), static_cast<std::streamsize>(region.size()));
    if (!newFamily) {
        EXPECT_GE(runChildProgram("./Kcnv", {" "}, work, 30000), 0);
    }
    EXPECT_GE(runChildProgram("./Lcnv", {kind, kind}, work, 30000), 0);
    return testkit::readBytes(work + "/output2.bin");
}

std::uint32_t loadAddress(const std::vector<std::uint8_t>& image)
{
    return static_cast<std::uint32_t>(image[8]) << 24 | static_cast<std::uint32_t>(image[9]) << 16 |
           static_cast<std::uint32_t>(image[10]) << 8 | image[11];
}

struct Crossing {
    UnitKind kind;
    int model;
    std::uint32_t region;
    std::uint32_t regionSize;
    double finalVersion;
};

class CalibrationCrossing : public ::testing::TestWithParam<Crossing> {};

TEST_P(CalibrationCrossing, ReinstallCarriesTablesCablesAndBackupOver)
{
    const Crossing c = GetParam();
    UnitIdentity id;
    id.kind = c.kind;
    id.model = c.model;
    id.version = defaultUnitVersion(c.model);
    EngineRig bench(id);
    const std::vector<std::uint8_t> region = bench.flash(c.region, c.regionSize);
    const std::vector<std::uint8_t> cables = makeCableDatabase(id.serial);
    const bool display = c.kind == UnitKind::Display;
    const char* kindArg = display ? "NE" : "FE";

    ASSERT_EQ(bench.identifyAndUpgrade(MODE_REINSTALL), UpgradeOutcome::Done);
    EXPECT_EQ(bench.notifier.posts, (std::vector<std::pair<int, int>>{{WM_IDENTIFY_DONE, 1}, {WM_UPGRADE_DONE, 1}}));
    EXPECT_DOUBLE_EQ(bench.state.finalVersion, c.finalVersion);
    EXPECT_EQ(bench.state.overallPercent, 100);
    EXPECT_EQ(bench.state.errorFlag, 0);

    const std::vector<std::uint8_t> expected = convertIndependently(bench, region, c.model == 7410, kindArg);
    ASSERT_GT(expected.size(), 32u);
    EXPECT_EQ(bench.flash(loadAddress(expected), static_cast<std::uint32_t>(expected.size() - 32)),
              std::vector<std::uint8_t>(expected.begin() + 32, expected.end()));

    const std::vector<std::uint8_t> backup = testkit::readBytes(bench.set(id.serial + ".bin"));
    ASSERT_EQ(backup.size(), 32u + c.regionSize);
    EXPECT_EQ(std::string(backup.begin(), backup.begin() + 8), "ESTFBINR");
    EXPECT_EQ(loadAddress(backup), c.region);
    EXPECT_TRUE(std::equal(region.begin(), region.end(), backup.begin() + 32));

    if (display) {
        const std::uint32_t cableAt = c.model == 7410 ? 0xC01CC : 0xB9AE4;
        EXPECT_EQ(bench.flash(cableAt, 2400), cables);
    }
    EXPECT_EQ(testkit::readBytes(bench.work("logfile.LOG")).size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Units, CalibrationCrossing,
                         ::testing::Values(Crossing{UnitKind::Display, 7355, 0x70000, 0x40000, 1.312},
                                           Crossing{UnitKind::Remote, 7410, 0x50000, 0x20000, 2.122}));

TEST(UpgradeRun, ConsoleSequenceOfAReinstallThatCrossesTheCalibrationVersion)
{
    UnitIdentity id;
    EngineRig bench(id);
    ASSERT_EQ(bench.identifyAndUpgrade(MODE_REINSTALL), UpgradeOutcome::Done);
    EXPECT_EQ(bench.significantCommands(),
              (std::vector<std::string>{"getuid", "btx", "boot", "xmodem B6220 960 G", "btx",
                                        "xmodem 70000 40000 G", "btx", "btx", "boot", "btx", "reboot",
                                        "reboot"}));
}

// Samples the upgrade's progress every 250 ms of virtual time, on the
// worker's thread, whenever the run reads the time.
class ProgressSampler : public Clock {
public:
    struct Sample {
        std::uint32_t atMs;
        int percent;
        int secondsLeft;
        bool finalRead;  // the final version has been read
    };

    ProgressSampler(Clock& base, const UpgradeState& state) : base(base), state(state) {}
    std::uint32_t tickMs() override
    {
        const std::uint32_t now = base.tickMs();
        if (samples.empty() || now - samples.back().atMs >= 250)
            samples.push_back({now, state.overallPercent, state.secondsLeft, state.finalVersion != 0});
        return now;
    }

    std::vector<Sample> samples;

private:
    Clock& base;
    const UpgradeState& state;
};

TEST(UpgradeRun, ProgressFollowsTheWorkOfTheWholeCrossingAndTheTimeLeftFalls)
{
    UnitIdentity id;
    EngineRig bench(id);
    std::vector<ProgressSampler::Sample> samples;
    UpgradeOutcome outcome = UpgradeOutcome::Stopped;
    bench.session([&](const EngineEnv& rigEnv) {
        ASSERT_EQ(runIdentification(bench.state, rigEnv), IdentifyOutcome::Identified);
        ProgressSampler sampler(*rigEnv.clock, bench.state);
        EngineEnv env = rigEnv;
        env.clock = &sampler;
        bench.state.mode = MODE_REINSTALL;
        outcome = runUpgrade(bench.state, env);
        samples = sampler.samples;
    });
    ASSERT_EQ(outcome, UpgradeOutcome::Done);
    ASSERT_GT(samples.size(), 100u);
    EXPECT_EQ(samples.back().percent, 100);
    EXPECT_EQ(bench.state.secondsLeft, 0);
    std::size_t running = 0;
    std::vector<int> left;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const ProgressSampler::Sample& now = samples[i];
        running += now.percent < 100 ? 1 : 0;
        if (now.secondsLeft >= 0 && now.percent < 100)
            left.push_back(now.secondsLeft);
        EXPECT_TRUE(now.percent < 100 || now.finalRead) << "at " << now.atMs << " ms";
        if (i == 0)
            continue;
        const ProgressSampler::Sample& before = samples[i - 1];
        EXPECT_LE(now.atMs - before.atMs, 1000u);
        EXPECT_GE(now.percent, before.percent) << "at " << now.atMs << " ms";
        EXPECT_LE(now.percent - before.percent, 10) << "at " << now.atMs << " ms";
    }
    // Known for most of the run, and falling from quarter to quarter.
    EXPECT_GT(left.size(), running * 9 / 10);
    const std::size_t q = left.size() / 4;
    EXPECT_GT(left[0], left[q]);
    EXPECT_GT(left[q], left[2 * q]);
    EXPECT_GT(left[2 * q], left[3 * q]);
    EXPECT_GT(left[3 * q], left.back());
}

TEST(UpgradeRun, UpdateOnlyAboveTheCalibrationVersionSendsKernelAndFirmwareOnly)
{
    UnitIdentity id;
    id.version = 1.312;
    EngineRig bench(id);
    const std::vector<std::uint8_t> before = bench.flash(0x70000, 0x40000);
    ASSERT_EQ(bench.identifyAndUpgrade(MODE_UPDATE_ONLY), UpgradeOutcome::Done);
    EXPECT_EQ(bench.significantCommands(),
              (std::vector<std::string>{"getuid", "btx", "boot", "boot", "btx", "reboot", "reboot"}));
    EXPECT_EQ(bench.flash(0x70000, 0x40000), before);
}

TEST(UpgradeRun, DowngradePutsTheBackupBackBeforeTheOlderFirmware)
{
    UnitIdentity id;
    EngineRig bench(id);
    const std::vector<std::uint8_t> region = bench.flash(0x70000, 0x40000);
    ASSERT_EQ(bench.identifyAndUpgrade(MODE_REINSTALL), UpgradeOutcome::Done);
    // The second image of a Display Handset comes with the set.
    std::filesystem::copy_file(bench.set(id.serial + ".bin"), bench.set(id.serial + "c.bin"));

    bench.state.resetUnit();
    ASSERT_EQ(bench.identifyAndUpgrade(MODE_DOWNGRADE), UpgradeOutcome::Done);
    EXPECT_EQ(bench.flash(0x70000, 0x40000), region);
    EXPECT_DOUBLE_EQ(bench.state.finalVersion, 1.221);
    EXPECT_EQ(bench.state.steps()->name(2).substr(0, 4), "app_");
}

TEST(UpgradeRun, MissingControlFileEndsIdentificationWithoutAReport)
{
    UnitIdentity id;
    EngineRig bench(id);
    std::filesystem::remove(bench.set("control.upd"));
    bench.identifyAndUpgrade(MODE_REINSTALL);
    EXPECT_EQ(bench.identified, IdentifyOutcome::NoControlFile);
    EXPECT_EQ(bench.state.errorFlag, 1);
    EXPECT_TRUE(bench.notifier.posts.empty());
}

TEST(UpgradeRun, StopWhileWaitingForASilentUnitEndsTheRunPromptly)
{
    UnitIdentity id;
    EngineRig bench(id);
    // The unit dies after identification; the upgrade then waits for a
    // prompt that never comes until it is asked to stop.
    // The stop comes once the run has said that the unit is silent.
    bench.behaviour.powerCutAfter = 3;
    UpgradeOutcome outcome = UpgradeOutcome::Done;
    std::atomic<bool> stop{false};
    bench.session([&](const EngineEnv& rigEnv) {
        EngineEnv env = rigEnv;
        env.stop = &stop;
        ASSERT_EQ(runIdentification(bench.state, env), IdentifyOutcome::Identified);
        bench.state.mode = MODE_REINSTALL;
        std::thread watcher([&] {
            for (int i = 0; i < 6000 && bench.state.statusText().find("No answer from the unit for 20 s") == std::string::npos; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            EXPECT_NE(bench.state.statusText().find("No answer from the unit"), std::string::npos);
            stop = true;
        });
        outcome = runUpgrade(bench.state, env);
        watcher.join();
    });
    EXPECT_EQ(outcome, UpgradeOutcome::Stopped);
    EXPECT_EQ(bench.state.errorFlag, 0);
    // The log holds the unit and its version, nothing finished.
    EXPECT_EQ(testkit::readBytes(bench.work("logfile.LOG")).size(), ResumeLog::kHeaderSize);
}

}  // namespace

namespace {

int countCommands(const std::vector<std::string>& commands, const std::string& text)
{
    return static_cast<int>(std::count(commands.begin(), commands.end(), text));
}

TEST(UnitFaults, AFirmwareUploadCancelledTwiceIsSentThreeTimes)
{
    UnitIdentity id;
    EngineRig bench(id);
    bench.behaviour.cancelUploads = 2;
    bench.behaviour.cancelUploadMatch = "firmware FWVER";
    ASSERT_EQ(bench.identifyAndUpgrade(MODE_REINSTALL), UpgradeOutcome::Done);
    const std::vector<std::string> sent = bench.significantCommands();
    // Kernel, cables, tables, clearing image, then the firmware three times.
    EXPECT_EQ(countCommands(sent, "btx"), 7);
    EXPECT_EQ(std::vector<std::string>(sent.end() - 5, sent.end()),
              (std::vector<std::string>{"btx", "btx", "btx", "reboot", "reboot"}));
    EXPECT_DOUBLE_EQ(bench.state.finalVersion, 1.312);
}

TEST(UnitFaults, CalibrationDownloadGetsThreeAttemptsAndRefusesAShortRegion)
{
    UnitIdentity id;
    {
        // A first download cut to 128 KiB must not pass as a 7410 region.
        EngineRig bench(id);
        bench.behaviour.cancelDownloads = 2;
        bench.behaviour.cancelDownloadMatch = "70000";
        bench.behaviour.shortDownloadBytes = 131072;
        ASSERT_EQ(bench.identifyAndUpgrade(MODE_REINSTALL), UpgradeOutcome::Done);
        EXPECT_EQ(countCommands(bench.commands(), "xmodem 70000 40000 G"), 3);
        std::vector<std::uint8_t> backup = testkit::readBytes(bench.set(id.serial + ".bin"));
        EXPECT_EQ(backup.size(), 32u + 0x40000);
    }
    {
        EngineRig bench(id);
        bench.behaviour.cancelDownloads = 3;
        bench.behaviour.cancelDownloadMatch = "70000";
        EXPECT_EQ(bench.identifyAndUpgrade(MODE_REINSTALL), UpgradeOutcome::Failed);
        EXPECT_EQ(bench.state.errorFlag, 1);
        EXPECT_EQ(countCommands(bench.commands(), "xmodem 70000 40000 G"), 3);
        // Nothing after the calibration phase: the main list was not worked.
        EXPECT_EQ(bench.significantCommands().back(), "xmodem 70000 40000 G");
        ResumeLog log(bench.work("logfile.LOG"));
        ASSERT_TRUE(log.load());
        EXPECT_EQ(log.record(1), "REBOOT");
        EXPECT_EQ(log.record(2), "");
    }
}

}  // namespace

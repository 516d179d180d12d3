// Power cuts at every point of a calibration carry-over, each followed by a
// fresh run on the restarted unit: the unit must end with its own tables
// converted exactly once, whatever stale files the cut left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "sim/rig/EngineRig.h"
#include "testkit/Files.h"
#include "sim/unit/FactoryImages.h"
#include "engine/ResumeLog.h"

namespace {

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

TEST(Resume, PowerCutAtAnyCommandThenAFreshRunLeavesCorrectTables)
{
    // The tables a clean run leaves, and how many commands it takes.
    UnitIdentity id;
    EngineRig clean(id);
    ASSERT_EQ(clean.identifyAndUpgrade(MODE_REINSTALL), UpgradeOutcome::Done);
    std::vector<std::uint8_t> expected;
    clean.unit.flash.read(0x90000, 13144, expected);
    const int commands = static_cast<int>(clean.commands().size());
    int nonEmpty = 0;
    for (const std::string& c : clean.commands())
        nonEmpty += c.empty() ? 0 : 1;

    std::set<std::string> lastRecords;
    for (int cut = 4; cut < nonEmpty; cut += 2) {
        EngineRig bench(id);
        bench.behaviour.powerCutAfter = cut;
        ASSERT_NE(bench.identifyAndUpgrade(MODE_REINSTALL), UpgradeOutcome::Done) << "cut " << cut;
        ResumeLog log(bench.work("logfile.LOG"));
        ASSERT_TRUE(log.load());
        std::string last = "header";
        for (int i = 0; !log.record(i).empty(); ++i)
            last = log.record(i);
        lastRecords.insert(log.length() == 0 ? "empty" : last);

        // Converter outputs left by an earlier unit must not be uploaded;
        // a region file cut short must be downloaded again.
        writeText(bench.work("output1.bin"), "stale");
        writeText(bench.work("output2.bin"), "stale");
        if (cut % 4 == 0 && std::filesystem::exists(bench.work("caltab.bin")))
            std::filesystem::resize_file(bench.work("caltab.bin"), 131072);

        bench.behaviour.powerCutAfter = 0;
        bench.state.resetUnit();
        bench.notifier.posts.clear();
        ASSERT_EQ(bench.identifyAndUpgrade(MODE_REINSTALL), UpgradeOutcome::Done) << "cut " << cut;
        std::vector<std::uint8_t> tables;
        bench.unit.flash.read(0x90000, 13144, tables);
        EXPECT_EQ(tables, expected) << "cut " << cut << " after " << last;
        std::vector<std::uint8_t> cables;
        bench.unit.flash.read(0xB9AE4, 2400, cables);
        EXPECT_EQ(cables, makeCableDatabase(id.serial)) << "cut " << cut;
        EXPECT_DOUBLE_EQ(bench.state.finalVersion, 1.312);
    }
    EXPECT_GT(commands, nonEmpty);
    // The cuts struck after each step the log records, and in the main list.
    // ("PUTCAL" is followed by the emptied log with no command between.)
    for (const char* step : {"header", "KERNEL", "REBOOT", "GETCAL", "empty"})
        EXPECT_EQ(lastRecords.count(step), 1u) << step;
}

// The log here is one an older version left in the set's own folder: the
// run moves it into the unit's folder and resumes from it.
TEST(Resume, ALogOfTheSameUnitSkipsFinishedStepsAndRestoresItsVersion)
{
    UnitIdentity id;
    EngineRig bench(id);
    // The kernel is already in (the unit reports the new version) and the
    // restart done: only the version query, cables and calibration remain.
    bench.unit.identity.version = 1.312;
    writeText(bench.set("logfile.LOG"), id.serial + "\r\n1.221\r\nKERNEL\r\nREBOOT\r\n");
    ASSERT_EQ(bench.identifyAndUpgrade(MODE_REINSTALL), UpgradeOutcome::Done);
    EXPECT_FALSE(std::filesystem::exists(bench.set("logfile.LOG")));
    EXPECT_EQ(testkit::readBytes(bench.work("logfile.LOG")).size(), 0u);
    EXPECT_EQ(bench.significantCommands(), (std::vector<std::string>{"getuid", "xmodem B6220 960 G", "btx", "xmodem 70000 40000 G", "btx",
                                              "btx", "boot", "btx", "reboot", "reboot"}));
    EXPECT_DOUBLE_EQ(bench.state.unitVersion, 1.221);
}

}  // namespace

// The faults a field brings, one row each, on the virtual unit in virtual
// time. A faulty run must end either with the unit's data carried across
// or as a failure that names its cause and leaves the unit and the set so
// that a later run, once the cause is mended, finishes correctly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "engine/ResumeLog.h"
#include "engine/UpgradePlan.h"
#include "engine/WorkFilesLock.h"
#include "sim/rig/EngineRig.h"
#include "sim/unit/FactoryImages.h"
#include "testkit/Files.h"

namespace {

constexpr std::uint32_t kTablesAt = 0x90000;   // the converted tables of a 7355 Display Handset
constexpr std::uint32_t kTablesSize = 13144;
constexpr std::uint32_t kCablesAt = 0xB9AE4;   // the cable database's new address
constexpr std::uint32_t kCablesSize = 2400;

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

void writeProgram(const std::string& path, const std::string& body)
{
    std::filesystem::rename(path, path + ".good");
    writeText(path, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

void restoreProgram(const std::string& path)
{
    std::filesystem::rename(path + ".good", path);
}

// The tables a clean run of the default unit leaves (the crossing tests
// prove a clean run against the set's own converters).
const std::vector<std::uint8_t>& convertedTables()
{
    static const std::vector<std::uint8_t> tables = [] {
        EngineRig clean{UnitIdentity()};
        EXPECT_EQ(clean.identifyAndUpgrade(MODE_REINSTALL), UpgradeOutcome::Done);
        return clean.flash(kTablesAt, kTablesSize);
    }();
    return tables;
}

using Step = std::function<void(EngineRig&)>;

struct FaultRow {
    const char* name = "";
    Step inject = {};            // the fault, before the first run
    int mode = MODE_REINSTALL;
    UpgradeOutcome outcome = UpgradeOutcome::Failed;
    const char* why = "";        // in the failure text (the status text when identification fails)
    bool nothingSent = false;    // the unit heard only the identification
    Step afterFault = {};        // row-specific checks of the set's files after the faulty run
    Step mend = {};              // the cause mended; the next run must finish (none: no second run)
    Step afterMend = {};
};

void PrintTo(const FaultRow& row, std::ostream* os)
{
    *os << row.name;
}

class FieldFault : public ::testing::TestWithParam<FaultRow> {};

// The unit's data after a run: the converted tables and the cable database
// at their new places are either untouched or exactly right, never other.
void expectNothingWrong(const EngineRig& bench, const std::vector<std::uint8_t>& tablesBefore,
                        const std::vector<std::uint8_t>& cablesBefore)
{
    const std::vector<std::uint8_t> tables = bench.flash(kTablesAt, kTablesSize);
    EXPECT_TRUE(tables == tablesBefore || tables == convertedTables()) << "the tables hold something else";
    const std::vector<std::uint8_t> cables = bench.flash(kCablesAt, kCablesSize);
    EXPECT_TRUE(cables == cablesBefore || cables == makeCableDatabase(bench.unit.identity.serial))
        << "the cable database holds something else";
}

void expectCarriedAcross(EngineRig& bench)
{
    EXPECT_EQ(bench.state.errorFlag, 0) << bench.state.failureText();
    EXPECT_EQ(bench.flash(kTablesAt, kTablesSize), convertedTables());
    EXPECT_EQ(bench.flash(kCablesAt, kCablesSize), makeCableDatabase(bench.unit.identity.serial));
    EXPECT_DOUBLE_EQ(bench.state.finalVersion, 1.312);
    // No log of a carry-over is left unfinished in any unit's folder.
    for (const auto& folder : std::filesystem::directory_iterator(bench.setFolder() + "/units"))
        EXPECT_EQ(testkit::readBytes((folder.path() / kResumeLogName).string()).size(), 0u) << folder.path();
}

TEST_P(FieldFault, EndsCarriedAcrossOrFailsSoThatALaterRunFinishes)
{
    const FaultRow& row = GetParam();
    EngineRig bench{UnitIdentity()};
    const std::vector<std::uint8_t> tablesBefore = bench.flash(kTablesAt, kTablesSize);
    const std::vector<std::uint8_t> cablesBefore = bench.flash(kCablesAt, kCablesSize);
    row.inject(bench);

    const UpgradeOutcome outcome = bench.identifyAndUpgrade(row.mode);
    if (row.outcome == UpgradeOutcome::Done) {
        ASSERT_EQ(outcome, UpgradeOutcome::Done) << bench.state.failureText();
        expectCarriedAcross(bench);
    } else {
        const bool identified = bench.identified == IdentifyOutcome::Identified;
        EXPECT_EQ(outcome, identified ? row.outcome : UpgradeOutcome::Stopped);
        const std::string text = identified ? bench.state.failureText() : bench.state.statusText();
        EXPECT_NE(text.find(row.why), std::string::npos) << text;
        EXPECT_EQ(bench.state.errorFlag, identified ? 1 : 0);
        for (const auto& post : bench.notifier.posts)
            EXPECT_NE(post.first, WM_UPGRADE_DONE);
        if (row.nothingSent) {
            EXPECT_LE(bench.significantCommands().size(), 1u) << "more than the identification was sent";
        }
        expectNothingWrong(bench, tablesBefore, cablesBefore);
    }
    if (row.afterFault)
        row.afterFault(bench);
    if (!row.mend)
        return;
    row.mend(bench);
    bench.state.resetUnit();
    bench.state.errorFlag = 0;
    bench.notifier.posts.clear();
    ASSERT_EQ(bench.identifyAndUpgrade(MODE_REINSTALL), UpgradeOutcome::Done) << bench.state.failureText();
    expectCarriedAcross(bench);
    if (row.afterMend)
        row.afterMend(bench);
}

// A log of this unit stopped after its calibration download, with the
// downloaded region on disk and the new kernel already in the unit.
void stoppedAfterDownload(EngineRig& bench)
{
    const std::vector<std::uint8_t> region = bench.flash(0x70000, 0x40000);
    testkit::writeBytes(bench.set("caltab.bin"), region);
    writeText(bench.set(kResumeLogName), bench.unit.identity.serial + "\r\n1.221\r\nKERNEL\r\nREBOOT\r\nGETCAL\r\n");
    bench.unit.identity.version = 1.312;
}

// A unit without a serial number, and an older run's unfinished log of a
// unit without one in the set folder.
void unnamedUnitBesideAnUnnamedLog(EngineRig& bench)
{
    bench.unit.identity.noSerial = true;
    writeText(bench.set(kResumeLogName), "         \r\n1.221\r\n");
}

const std::string kOtherLog = "B99999999\r\n1.221\r\nKERNEL\r\nREBOOT\r\nGETCAL\r\n";

// The control file without any list of the 7355 Display Handset.
std::string withoutDisplayLists(const std::string& text)
{
    std::string out;
    std::istringstream in(text);
    bool skipping = false;
    for (std::string line; std::getline(in, line);) {
        if (line.find("7355NE") != std::string::npos)
            skipping = true;
        if (!skipping)
            out += line + "\n";
        if (skipping && line == "/")
            skipping = false;
    }
    return out;
}

const FaultRow kRows[] = {
    {.name = "ConverterFails",
     .inject = [](EngineRig& b) { writeProgram(b.set("Lcnv"), "exit 0"); },
     .why = "Lcnv",
     .afterFault = [](EngineRig& b) {
         ResumeLog log(b.work(kResumeLogName));
         ASSERT_TRUE(log.load());
         EXPECT_EQ(log.record(2), "GETCAL");  // the next run converts again
     },
     .mend = [](EngineRig& b) { restoreProgram(b.set("Lcnv")); }},
    {.name = "ConverterWritesNothingBesideAStaleOutput",
     .inject =
         [](EngineRig& b) {
             writeProgram(b.set("Lcnv"), "exit 1");
             std::filesystem::create_directories(b.work(""));
             testkit::writeBytes(b.work("output2.bin"), std::vector<std::uint8_t>(13176, 0x55));
         },
     .why = "output2.bin",
     .mend = [](EngineRig& b) { restoreProgram(b.set("Lcnv")); }},
    {.name = "KernelUploadCancelledTwice",
     .inject =
         [](EngineRig& b) {
             b.behaviour.cancelUploads = 2;
             b.behaviour.cancelUploadMatch = "kernel FWVER";
         },
     .outcome = UpgradeOutcome::Done},
    {.name = "AnotherUnitsOldCarryOverStaysInTheSet",
     .inject =
         [](EngineRig& b) {
             writeText(b.set(kResumeLogName), kOtherLog);
             writeText(b.set("caltab.bin"), "the other unit's region");
         },
     .outcome = UpgradeOutcome::Done,
     .afterFault =
         [](EngineRig& b) {
             EXPECT_EQ(testkit::readText(b.set(kResumeLogName)), kOtherLog);
             EXPECT_EQ(testkit::readText(b.set("caltab.bin")), "the other unit's region");
         }},
    {.name = "NoListForThisUnit",
     .inject =
         [](EngineRig& b) {
             const std::string text = testkit::readText(b.set("control.upd"));
             writeText(b.set("control.upd.good"), text);
             writeText(b.set("control.upd"), withoutDisplayLists(text));
         },
     .outcome = UpgradeOutcome::Refused,
     .why = "7355 Display Handset",
     .nothingSent = true,
     .mend = [](EngineRig& b) { std::filesystem::rename(b.set("control.upd.good"), b.set("control.upd")); }},
    {.name = "UnknownKind",
     .inject = [](EngineRig& b) { b.unit.identity.promptMarker = "xx"; },
     .why = "neither",
     .nothingSent = true,
     .mend = [](EngineRig& b) { b.unit.identity.promptMarker.clear(); }},
    {.name = "NoSerialNumberKeepsOtherBackups",
     .inject =
         [](EngineRig& b) {
             b.unit.identity.noSerial = true;
             writeText(b.set("NOSERIAL-1.bin"), "another unit's backup");
         },
     .outcome = UpgradeOutcome::Done,
     .afterFault =
         [](EngineRig& b) {
             EXPECT_EQ(testkit::readText(b.set("NOSERIAL-1.bin")), "another unit's backup");
             EXPECT_EQ(testkit::readBytes(b.set("NOSERIAL-2.bin")).size(), 32u + 0x40000);
         }},
    {.name = "NoSerialNumberNeverResumesAnUnnamedLog",
     .inject = unnamedUnitBesideAnUnnamedLog,
     .outcome = UpgradeOutcome::Refused,
     .why = "without a serial number",
     .nothingSent = true,
     .mend = [](EngineRig& b) { b.resumeUnnamed = true; },
     .afterMend = [](EngineRig& b) { EXPECT_FALSE(std::filesystem::exists(b.set(kResumeLogName))); }},
    {.name = "NoSerialNumberBesideAnUnnamedLog",
     .inject = unnamedUnitBesideAnUnnamedLog,
     .outcome = UpgradeOutcome::Refused,
     .why = "without a serial number",
     .nothingSent = true,
     .mend = [](EngineRig& b) { b.discardPending = true; },
     .afterMend = [](EngineRig& b) { EXPECT_EQ(testkit::readText(b.set(kResumeLogName)), "         \r\n1.221\r\n"); }},
    {.name = "CableDownloadAlwaysCancelled",
     .inject =
         [](EngineRig& b) {
             b.behaviour.cancelDownloads = 99;
             b.behaviour.cancelDownloadMatch = " 960 ";
         },
     .why = "CUSTOMCAB",
     .mend = [](EngineRig& b) { b.behaviour.cancelDownloads = 0; }},
    {.name = "ClearingImageAlwaysCancelled",
     .inject =
         [](EngineRig& b) {
             b.behaviour.cancelUploadsFrom = 4;  // kernel, cables, tables, then the clearing image
             b.behaviour.cancelUploads = 3;
         },
     .why = "calclear_ne.bin",
     .mend = [](EngineRig& b) { b.behaviour.cancelUploads = 0; }},
    {.name = "UpdateOnlyAcrossTheLayoutChange",
     .inject = [](EngineRig&) {},
     .mode = MODE_UPDATE_ONLY,
     .outcome = UpgradeOutcome::Refused,
     .why = "reinstall",
     .nothingSent = true,
     .mend = [](EngineRig&) {}},
    {.name = "UpdateOnlyKeepsAPendingLog",
     .inject = stoppedAfterDownload,
     .mode = MODE_UPDATE_ONLY,
     .outcome = UpgradeOutcome::Refused,
     .why = "reinstall",
     .nothingSent = true,
     .afterFault = [](EngineRig& b) { EXPECT_EQ(testkit::readBytes(b.set(kResumeLogName)).size(), 42u); },
     .mend = [](EngineRig&) {}},
    {.name = "FilesAndProgramsMissing",
     .inject =
         [](EngineRig& b) {
             std::filesystem::rename(b.set("Kcnv"), b.set("Kcnv.good"));
             std::filesystem::rename(b.set("app_7355ne_1312.bin"), b.set("app.good"));
         },
     .outcome = UpgradeOutcome::Refused,
     .why = "Kcnv\n  app_7355ne_1312.bin",
     .nothingSent = true,
     .mend =
         [](EngineRig& b) {
             std::filesystem::rename(b.set("Kcnv.good"), b.set("Kcnv"));
             std::filesystem::rename(b.set("app.good"), b.set("app_7355ne_1312.bin"));
         }},
    {.name = "TenthEntryInTheList",
     .inject =
         [](EngineRig& b) {
             std::string text = testkit::readText(b.set("control.upd"));
             writeText(b.set("control.upd.good"), text);
             const std::size_t at = text.find("{app_7355ne_1312.bin}");
             std::string extra;
             for (int i = 0; i < 7; ++i)
                 extra += "{REBOOT}\n    ";
             text.insert(at, extra);
             writeText(b.set("control.upd"), text);
         },
     .outcome = UpgradeOutcome::Refused,
     .why = "more than 9 entries",
     .nothingSent = true,
     .mend = [](EngineRig& b) { std::filesystem::rename(b.set("control.upd.good"), b.set("control.upd")); }},
    {.name = "DowngradeWithoutItsSecondImage",
     .inject = [](EngineRig& b) { writeText(b.set(b.unit.identity.serial + ".bin"), "backup"); },
     .mode = MODE_DOWNGRADE,
     .outcome = UpgradeOutcome::Refused,
     .why = "A01234567c.bin",
     .nothingSent = true},
};

INSTANTIATE_TEST_SUITE_P(Rows, FieldFault, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<FaultRow>& info) { return info.param.name; });

TEST(FieldFaults, ASecondRunOnTheSameUnitIsRefusedWhileTheFirstHoldsItsFolder)
{
    EngineRig bench{UnitIdentity()};
    std::filesystem::create_directories(bench.work(""));
    WorkFilesLock first;
    ASSERT_EQ(first.acquire(bench.work("")), WorkFilesLock::Result::Locked);
    EXPECT_EQ(bench.identifyAndUpgrade(MODE_REINSTALL), UpgradeOutcome::Refused);
    EXPECT_EQ(bench.state.refusal, static_cast<int>(Refusal::SetInUse));
    EXPECT_NE(bench.state.failureText().find("is locked"), std::string::npos) << bench.state.failureText();
    EXPECT_LE(bench.significantCommands().size(), 1u);
    first.release();
    bench.state.resetUnit();
    bench.state.errorFlag = 0;
    ASSERT_EQ(bench.identifyAndUpgrade(MODE_REINSTALL), UpgradeOutcome::Done) << bench.state.failureText();
    expectCarriedAcross(bench);
}

}  // namespace

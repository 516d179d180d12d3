// unitflash-cli as a technician runs it: one process per unit, against
// unitsim processes on pseudo-terminals, with the demo firmware set.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "app/cli/tests/CliStation.h"
#include "engine/WorkFilesLock.h"
#include "history/HistoryStore.h"
#include "sim/unit/UnitsimProcess.h"
#include "testkit/ScratchDir.h"

namespace {

TEST(CliOnPty, TwoUnitsAreUpgradedAtOnceFromOneSet)
{
    testkit::ScratchDir dir("cli-two");
    Station display(dir, "display", {"--kind", "ne", "--model", "7355"});
    Station remote(dir, "remote", {"--kind", "fe", "--model", "7410", "--baud", "57600", "--serial", "B07654321"},
                   display.set);
    display.startCli();
    remote.startCli();
    EXPECT_EQ(display.waitCli(180000), 0) << display.cliOutput();
    EXPECT_EQ(remote.waitCli(180000), 0) << remote.cliOutput();
    EXPECT_NE(display.cliOutput().find("Upgraded from Version 1.221 to Version 1.312"), std::string::npos);
    EXPECT_NE(remote.cliOutput().find("57600"), std::string::npos);

    // The remote unit heard the 38400 probe only as lost bytes.
    bool probeLost = false;
    for (const nlohmann::json& e : remote.unit->events()) {
        if (e["event"] == "command")
            break;
        if (e["event"] == "lost" && e.value("host_baud", 0) == 38400)
            probeLost = true;
    }
    EXPECT_TRUE(probeLost);

    EXPECT_EQ(display.unit->stop(), 0);
    EXPECT_EQ(remote.unit->stop(), 0);
    display.expectConvertedTables();
    remote.expectConvertedTables();
    EXPECT_DOUBLE_EQ(display.finalVersion, 1.312);
    EXPECT_DOUBLE_EQ(remote.finalVersion, 2.122);
    // Each worked in its own folder; each backup is in the set.
    EXPECT_NE(testkit::readBytes(display.converterOutput("output2.bin")), testkit::readBytes(remote.converterOutput("output2.bin")));
    EXPECT_TRUE(std::filesystem::exists(display.set + "/A01234567.bin"));
    EXPECT_TRUE(std::filesystem::exists(display.set + "/B07654321.bin"));

    // Both runs wrote their record into the one history at the same time.
    HistoryStore history;
    std::string error;
    std::vector<HistoryRecord> records;
    ASSERT_TRUE(history.open(display.history, error) && history.query("", "", records, error)) << error;
    ASSERT_EQ(records.size(), 2u);
    std::set<std::pair<int, double>> upgraded;
    for (const HistoryRecord& r : records) {
        EXPECT_EQ(r.status, 0) << r.cause;
        upgraded.emplace(r.model, r.versionAfter);
    }
    EXPECT_EQ(upgraded, (std::set<std::pair<int, double>>{{7355, 1.312}, {7410, 2.122}}));
}

TEST(CliOnPty, AUnitThatVanishesMidRunIsFoundAgainUnderTheSameName)
{
    testkit::ScratchDir dir("cli-lost");
    Station station(dir, "unit", {"--kind", "ne", "--model", "7355"});
    station.startCli();
    // Pull the plug while the unit restarts into its new kernel.
    ASSERT_TRUE(station.unit->waitForEvents("command", 1, 60000, "boot"));
    EXPECT_EQ(station.unit->stop(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(station.cli.running());
    station.unit = std::make_unique<UnitsimProcess>(station.root, std::vector<std::string>{"--no-pacing", "--state", station.state});
    ASSERT_TRUE(station.unit->started()) << station.unit->output();

    EXPECT_EQ(station.waitCli(180000), 0) << station.cliOutput();
    const std::string out = station.cliOutput();
    EXPECT_NE(out.find("is gone"), std::string::npos) << out;
    // The notice ends when the unit answers, not when the port is back.
    EXPECT_LT(out.find("is back"), out.find("The unit answers again.")) << out;
    EXPECT_NE(out.find("The unit answers again."), std::string::npos) << out;
    EXPECT_EQ(station.unit->stop(), 0);
    station.expectConvertedTables();
    EXPECT_DOUBLE_EQ(station.finalVersion, 1.312);
}

TEST(CliOnPty, WaitFindsAUnitPluggedInAfterTheStart)
{
    testkit::ScratchDir dir("cli-wait");
    Station station(dir, "unit", {"--kind", "ne", "--model", "7355"});
    EXPECT_EQ(station.unit->stop(), 0);
    station.startCli({"--wait"});
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_TRUE(station.cli.running()) << station.cliOutput();
    station.unit = std::make_unique<UnitsimProcess>(station.root, std::vector<std::string>{"--no-pacing", "--state", station.state});
    ASSERT_TRUE(station.unit->started()) << station.unit->output();
    EXPECT_EQ(station.waitCli(180000), 0) << station.cliOutput();
    EXPECT_NE(station.cliOutput().find("waiting for one"), std::string::npos) << station.cliOutput();
    EXPECT_EQ(station.unit->stop(), 0);
    station.expectConvertedTables();
}

// --each: a unit, then the next one plugged into the same line; the first
// unit still answering after its restart is not upgraded again, and Ctrl-C
// while waiting ends the run with a summary of both.
TEST(CliOnPty, EachUpgradesOneUnitAfterAnother)
{
    testkit::ScratchDir dir("cli-each");
    Station station(dir, "unit", {"--kind", "ne", "--model", "7355", "--serial", "A11111111"});
    station.startCli({"--each"});
    ASSERT_TRUE(station.waitForOutput("Waiting for the next unit", 1, 180000)) << station.cliOutput();
    // The first unit answers a whole search after its restart, and is not
    // taken again.
    const std::vector<nlohmann::json> before = station.unit->events();
    const auto versionAsked = std::count_if(before.begin(), before.end(), [](const nlohmann::json& e) {
        return e["event"] == "command" && e.value("text", "") == "idn? k";
    });
    ASSERT_TRUE(station.unit->waitForEvents("command", static_cast<std::size_t>(versionAsked) + 1, 30000, "idn? k"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(station.unit->stop(), 0);
    station.expectConvertedTables();

    station.state = station.root + "/state-b";
    station.serial = "B22222222";
    station.unit = std::make_unique<UnitsimProcess>(
        station.root, std::vector<std::string>{"--no-pacing", "--state", station.state, "--kind", "ne", "--model",
                                               "7355", "--serial", "B22222222"});
    ASSERT_TRUE(station.unit->started()) << station.unit->output();
    ASSERT_TRUE(station.waitForOutput("Waiting for the next unit", 2, 180000)) << station.cliOutput();
    ::kill(static_cast<pid_t>(station.cli.processId()), SIGINT);
    EXPECT_EQ(station.waitCli(60000), 0) << station.cliOutput();
    const std::string out = station.cliOutput();
    const std::string summary = out.substr(std::min(out.rfind("Units on"), out.size()));
    EXPECT_NE(summary.find("A11111111"), std::string::npos) << out;
    EXPECT_NE(summary.find("B22222222"), std::string::npos) << out;
    EXPECT_NE(summary.find("2 units: 2 done, 0 failed."), std::string::npos) << out;
    EXPECT_EQ(station.unit->stop(), 0);
    station.expectConvertedTables();

    HistoryStore history;
    std::string error;
    std::vector<HistoryRecord> records;
    ASSERT_TRUE(history.open(station.history, error) && history.query("", "", records, error)) << error;
    std::multiset<std::string> serials;
    for (const HistoryRecord& r : records) {
        EXPECT_EQ(r.status, 0) << r.cause;
        serials.insert(r.serial);
    }
    EXPECT_EQ(serials, (std::multiset<std::string>{"A11111111", "B22222222"}));
}

// Every refusal ends with its own status and a text naming the cause, and
// the unit is not written to.
TEST(CliOnPty, RefusalsEndWithTheirOwnStatusAndWriteNothing)
{
    testkit::ScratchDir dir("cli-refusals");
    Station station(dir, "unit", {"--kind", "ne", "--model", "7355"});
    const auto expectRefusal = [&](int status, const std::string& text, const std::vector<std::string>& extra,
                                   const std::string& typed = "") {
        const auto [exit, output] = station.runCli(extra, typed);
        EXPECT_EQ(exit, status) << output;
        EXPECT_NE(output.find(text), std::string::npos) << output;
    };
    expectRefusal(2, "missing firmware set", {"--workdir", dir / "nowhere", "--yes"});
    expectRefusal(1, "does not exist", {"--port", dir / "no-such-tty", "--yes"});
    expectRefusal(4, "Nothing was sent", {}, "n\n");
    expectRefusal(7, "only a reinstall", {"--mode", "update", "--yes"});
    std::filesystem::rename(station.set + "/app_7355ne_1312.bin", station.set + "/app.bin");
    expectRefusal(6, "\n  app_7355ne_1312.bin", {"--yes"});
    std::filesystem::rename(station.set + "/app.bin", station.set + "/app_7355ne_1312.bin");
    {
        const std::string folder = station.set + "/units/A01234567";
        std::filesystem::create_directories(folder);
        WorkFilesLock other;
        ASSERT_EQ(other.acquire(folder), WorkFilesLock::Result::Locked);
        expectRefusal(9, "Another unitflash run is upgrading this unit", {"--yes"});
    }
    EXPECT_FALSE(station.unitWasWritten());
    EXPECT_EQ(station.unit->stop(), 0);

    // A unit without a serial number and an unnamed unit's unfinished
    // carry-over: only a person can say whether they are the same.
    std::ofstream(station.set + "/logfile.LOG", std::ios::binary) << "         \r\n1.221\r\nGETCAL\r\n";
    station.unit = std::make_unique<UnitsimProcess>(station.root, std::vector<std::string>{"--no-pacing", "--no-serial"});
    expectRefusal(8, "--resume-unnamed", {"--yes"});
    std::filesystem::remove(station.set + "/logfile.LOG");
    EXPECT_FALSE(station.unitWasWritten());
    EXPECT_EQ(station.unit->stop(), 0);

    // A unit pulled out during the search is no unit found, not one of
    // version 0 to send to customer service.
    station.unit = std::make_unique<UnitsimProcess>(
        station.root, std::vector<std::string>{"--no-pacing", "--power-cut-match", "getuid"});
    expectRefusal(1, "stopped answering before it reported its firmware version", {"--yes"});
    EXPECT_EQ(station.unit->stop(), 3);

    // Units the CLI turns away by their version.
    station.unit = std::make_unique<UnitsimProcess>(station.root, std::vector<std::string>{"--no-pacing", "--version", "1.400"});
    expectRefusal(5, "newer than this firmware set", {"--yes"});
    EXPECT_EQ(station.unit->stop(), 0);
    station.unit = std::make_unique<UnitsimProcess>(station.root, std::vector<std::string>{"--no-pacing", "--version", "1.050"});
    expectRefusal(3, "customer service", {"--yes"});
    EXPECT_FALSE(station.unitWasWritten());
    EXPECT_EQ(station.unit->stop(), 0);
}

// Ctrl-C stops a run where it stands; the stop text promises the resume
// only because a log was written, and the next run finishes the unit.
TEST(CliOnPty, CtrlCStopsTheRunAndTheNextRunResumesIt)
{
    testkit::ScratchDir dir("cli-interrupt");
    Station station(dir, "unit", {"--kind", "ne", "--model", "7355"});
    station.startCli();
    ASSERT_TRUE(station.unit->waitForEvents("command", 1, 60000, "xmodem 70000 40000 G"));
    ::kill(static_cast<pid_t>(station.cli.processId()), SIGINT);
    EXPECT_EQ(station.waitCli(60000), 130) << station.cliOutput();
    EXPECT_NE(station.cliOutput().find("resumes from logfile.LOG"), std::string::npos) << station.cliOutput();

    const auto [exit, output] = station.runCli({"--yes"});
    EXPECT_EQ(exit, 0) << output;
    EXPECT_EQ(station.unit->stop(), 0);
    station.expectConvertedTables();
    EXPECT_DOUBLE_EQ(station.finalVersion, 1.312);
}

// identify and check for scripts: one JSON object per line, the status
// last, and a missing file named in the list that needs it.
TEST(CliOnPty, IdentifyAndCheckReportAsJsonLines)
{
    testkit::ScratchDir dir("cli-json-sets");
    Station station(dir, "unit", {"--kind", "ne", "--model", "7355", "--serial", "B12345678"});
    const auto identify = [&station](const char* setVersionNote) {
        const Station::JsonRun run = station.runJson("identify", {});
        EXPECT_EQ(run.status, 0) << run.messages;
        ASSERT_EQ(run.events.size(), 2u) << run.messages;
        const nlohmann::json& found = run.events[0];
        EXPECT_EQ(found["event"], "identified");
        EXPECT_EQ(found["kind"], "display");
        EXPECT_EQ(found["model"], 7355);
        EXPECT_EQ(found["serial"], "B12345678");
        EXPECT_DOUBLE_EQ(found["version"].get<double>(), 1.221);
        EXPECT_EQ(found["rate"], 38400);
        EXPECT_DOUBLE_EQ(found["setVersion"].get<double>(), 1.312) << setVersionNote;
        EXPECT_EQ(run.events[1]["event"], "finished");
        EXPECT_EQ(run.events[1]["status"], 0);
    };
    const auto check = [&station](int status) {
        const Station::JsonRun run = station.runJson("check", {});
        EXPECT_EQ(run.status, status) << run.messages;
        EXPECT_EQ(run.events.back()["event"], status == 0 ? "finished" : "failed");
        EXPECT_EQ(run.events.back()["status"], status);
        return run.events;
    };

    identify("a good set");
    // Four model keys, each with a reinstall, an update and a downgrade list.
    const std::vector<nlohmann::json> good = check(0);
    ASSERT_EQ(good.size(), 13u);
    for (std::size_t i = 0; i + 1 < good.size(); ++i) {
        EXPECT_EQ(good[i]["event"], "section");
        EXPECT_TRUE(good[i]["complete"].get<bool>()) << good[i].dump();
    }

    // An unfinished carry-over in a unit's folder is listed.
    std::filesystem::create_directories(station.set + "/units/C00000001");
    std::ofstream(station.set + "/units/C00000001/logfile.LOG", std::ios::binary) << "C00000001\r\n1.221\r\nKERNEL\r\n";
    const std::vector<nlohmann::json> pending = check(0);
    ASSERT_EQ(pending.size(), 14u);
    EXPECT_EQ(pending[12], (nlohmann::json{{"event", "carryOver"}, {"folder", "units/C00000001"},
                                           {"serial", "C00000001"}, {"step", "KERNEL"}}));

    std::filesystem::rename(station.set + "/app_7355ne_1312.bin", station.set + "/app.bin");
    const std::vector<nlohmann::json> lacking = check(6);
    int lists = 0;
    for (const nlohmann::json& e : lacking) {
        if (e["event"] != "section" || e["complete"].get<bool>())
            continue;
        ++lists;
        EXPECT_EQ(e["model"], 7355);
        EXPECT_EQ(e["kind"], "display");
        EXPECT_NE(e["mode"], "downgrade");
        EXPECT_EQ(e["missing"], nlohmann::json::array({"app_7355ne_1312.bin"}));
    }
    EXPECT_EQ(lists, 2);  // the reinstall and the update list
    identify("a missing file does not keep identify from the set's version");
    EXPECT_FALSE(station.unitWasWritten());
    EXPECT_EQ(station.unit->stop(), 0);
}

// upgrade --json: the unit first, the steps and a rising percent, the
// status last; refused without --yes.
TEST(CliOnPty, UpgradeReportsItsEventsAsJsonLines)
{
    testkit::ScratchDir dir("cli-json-upgrade");
    Station station(dir, "unit", {"--kind", "ne", "--model", "7355"});
    const Station::JsonRun refused = station.runJson("upgrade", {});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.messages.find("--yes"), std::string::npos) << refused.messages;

    const Station::JsonRun run = station.runJson("upgrade", {"--yes"});
    EXPECT_EQ(run.status, 0) << run.messages;
    ASSERT_GE(run.events.size(), 3u) << run.messages;
    EXPECT_EQ(run.events.front()["event"], "identified");
    EXPECT_EQ(run.events.back()["event"], "finished");
    EXPECT_EQ(run.events.back()["status"], 0);
    int percent = 0;
    int progress = 0;
    std::vector<std::string> started;
    std::vector<std::string> done;
    for (const nlohmann::json& e : run.events) {
        const std::string step = e.value("phase", "") + "/" + std::to_string(e.value("slot", -1));
        if (e["event"] == "progress") {
            ++progress;
            EXPECT_GE(e["percent"].get<int>(), percent) << e.dump();
            percent = e["percent"].get<int>();
        } else if (e["event"] == "stepStarted") {
            started.push_back(step);
        } else if (e["event"] == "stepDone") {
            // A step ends once, after it began.
            EXPECT_NE(std::find(started.begin(), started.end(), step), started.end()) << step;
            EXPECT_EQ(std::find(done.begin(), done.end(), step), done.end()) << step;
            done.push_back(step);
        }
    }
    EXPECT_GT(progress, 2);
    EXPECT_GT(percent, 50);
    // The calibration list (kernel, reboot and four calibration steps) and
    // the main list's reboot and firmware.
    EXPECT_EQ(std::count_if(done.begin(), done.end(), [](const std::string& s) { return s.starts_with("calibration/"); }),
              6);
    EXPECT_NE(std::find(done.begin(), done.end(), "main/2"), done.end());
    EXPECT_EQ(station.unit->stop(), 0);
    station.expectConvertedTables();
    EXPECT_DOUBLE_EQ(station.finalVersion, 1.312);
}

}  // namespace

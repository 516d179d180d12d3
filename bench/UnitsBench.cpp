// upgrade_bench --units: N paced unitsim processes, each upgraded by its own
// unitflash-cli process from one shared firmware set, all started at once.
//
// What is measured. Each unitflash-cli is timed from just before it is
// started to the moment it is reaped (polled every 5 ms), on the real clock;
// its processor time is what wait4 reports for it: user plus system of the
// process and of the converters it waited for. unitsim, fwset and this
// program are not counted. A depot upgrades its units in parallel only if a
// unit among others takes about as long as a lone unit: the line and the
// unit's pauses set the time, and the host must not add to it. So the
// figures are the slowest unit against the lone unit (the N = 1 round of the
// same invocation) and the processor share of each unit's run.
#include "bench/UnitsBench.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "process/ChildProcess.h"
#include "sim/unit/UnitState.h"
#include "sim/unit/UnitsimProcess.h"
#include "testkit/Files.h"
#include "testkit/RecordFill.h"

namespace fs = std::filesystem;

namespace {

constexpr double kRatioTarget = 1.05;     // slowest unit over the lone unit
constexpr double kCpuPercentTarget = 2.0;  // processor time of a unit's run over its elapsed time
constexpr int kRunLimitS = 900;            // a run still going after this is killed and failed

using Clock = std::chrono::steady_clock;

// One unit and the unitflash-cli process that upgrades it.
struct UnitRun {
    std::string dir;
    std::string serial;
    std::unique_ptr<UnitsimProcess> unit;
    ChildProcess cli;
    Clock::time_point started;
    bool ended = false;
    int status = -1;
    double seconds = 0;
    double cpuSeconds = 0;
    std::string dataProblem;  // empty when the flash holds the converted tables
};

// One round's figures.
struct Round {
    int count = 0;
    std::vector<double> seconds;
    double cpuPercentMax = 0;
    int passed = 0;
    bool dataOk = true;
    bool foldersOk = true;
    double loadBefore = 0;
    double loadAfter = 0;
};

double loadAverage()
{
    double load[1] = {0};
    return ::getloadavg(load, 1) == 1 ? load[0] : -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Nine upper-case letters and digits, unique over the rounds of a run, so
// that each round's units get folders of their own in the shared set.
std::string serialFor(int count, int index)
{
    char text[16];
    std::snprintf(text, sizeof text, "R%02dU%05d", count % 100, index % 100000);
    return text;
}

std::size_t foldersIn(const std::string& dir)
{
    std::error_code ec;
    std::size_t n = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec))
        n += e.is_directory() ? 1 : 0;
    return n;
}

// After the unit has stopped and dumped its state: does its flash hold the
// tables the converters wrote for it in the set?
std::string checkConvertedTables(const UnitRun& run, const std::string& set)
{
    UnitState dumped;
    std::string error;
    if (!loadState(run.dir + "/state", dumped, error))
        return "no unit state: " + error;
    const std::string output2 = set + "/units/" + run.serial + "/output2.bin";
    const std::vector<std::uint8_t> tables = testkit::readBytes(output2);
    if (tables.size() <= 32)
        return "no converted tables in " + output2;
    std::vector<std::uint8_t> flash;
    if (!dumped.flash.read(testkit::be32(tables, 8), static_cast<std::uint32_t>(tables.size() - 32), flash) ||
        !std::equal(tables.begin() + 32, tables.end(), flash.begin()))
        return "the flash differs from " + output2;
    return {};
}

// Starts every unit, then every unitflash-cli at once, and reaps each as it
// ends. False when a unit did not start.
bool runAll(std::vector<UnitRun>& runs, const UnitsBenchRequest& request, const std::string& set,
            const std::string& history)
{
    for (UnitRun& r : runs) {
        fs::create_directories(r.dir);
        r.unit = std::make_unique<UnitsimProcess>(
            r.dir, std::vector<std::string>{"--kind", request.kind, "--model", std::to_string(request.model),
                                            "--serial", r.serial, "--state", r.dir + "/state", "--idle-limit", "600"});
        if (!r.unit->started()) {
            std::printf("unitsim did not start in %s:\n%s\n", r.dir.c_str(), r.unit->output().c_str());
            return false;
        }
    }
    for (UnitRun& r : runs) {
        r.cli.redirectToNull(ChildProcess::StdIn);
        r.cli.redirectToFile(ChildProcess::StdOut, r.dir + "/cli.out");
        r.cli.mergeErrorIntoOutput();
        r.started = Clock::now();
        if (!r.cli.start(UNITFLASH_CLI_PATH, {"unitflash-cli", "upgrade", "--yes", "--port", r.unit->linkPath(),
                                              "--workdir", set, "--open-delay-ms", "0", "--history", history})) {
            r.ended = true;
            r.status = -1;
        }
    }
    const Clock::time_point limit = Clock::now() + std::chrono::seconds(kRunLimitS);
    for (bool waiting = true; waiting;) {
        waiting = false;
        for (UnitRun& r : runs) {
            if (r.ended)
                continue;
            if (!r.cli.wait(0) && Clock::now() < limit) {
                waiting = true;
                continue;
            }
            if (r.cli.running())
                r.cli.kill();
            r.seconds = std::chrono::duration<double>(Clock::now() - r.started).count();
            const ChildCpuTime cpu = r.cli.cpuTime();
            r.cpuSeconds = (cpu.userMs + cpu.systemMs) / 1e3;
            r.status = r.cli.exitStatus();
            r.ended = true;
        }
        if (waiting)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// One round of count units at once.
Round benchRound(int count, const UnitsBenchRequest& request, const std::string& root, const std::string& set)
{
    Round round;
    round.count = count;
    std::printf("\n== %d unit%s at once ==\n", count, count == 1 ? "" : "s");
    std::fflush(stdout);
    const std::size_t foldersBefore = foldersIn(set + "/units");
    std::vector<UnitRun> runs(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        runs[i].serial = serialFor(count, i);
        runs[i].dir = root + "/n" + std::to_string(count) + "/" + runs[i].serial;
    }
    round.loadBefore = loadAverage();
    const bool started = runAll(runs, request, set, root + "/history.sqlite3");
    round.loadAfter = loadAverage();
    // Let each unit hear its last "reboot" and come back before it is
    // stopped (it dumps its state as it ends).
    std::this_thread::sleep_for(std::chrono::milliseconds(4000));
    for (UnitRun& r : runs)
        if (r.unit)
            r.unit->stop();
    for (const UnitRun& run : runs) {
        const std::string problem = started && run.ended ? checkConvertedTables(run, set) : "not run";
        round.dataOk = round.dataOk && problem.empty();
        if (run.status == 0)
            ++round.passed;
        if (started)
            round.seconds.push_back(run.seconds);
        const double percent = run.seconds > 0 ? 100.0 * run.cpuSeconds / run.seconds : 0;
        round.cpuPercentMax = std::max(round.cpuPercentMax, percent);
        std::printf("  %s  %7.2f s  cpu %5.2f s (%4.2f %%)  exit %d%s%s\n", run.serial.c_str(), run.seconds,
                    run.cpuSeconds, percent, run.status, problem.empty() ? "" : "  DATA: ", problem.c_str());
        if (run.status != 0)
            std::printf("  *** FAILED: unitflash-cli for %s ended with status %d; its output: %s/cli.out\n",
                        run.serial.c_str(), run.status, run.dir.c_str());
    }
    std::set<std::string> missing;
    for (const UnitRun& r : runs)
        if (!fs::is_directory(set + "/units/" + r.serial))
            missing.insert(r.serial);
    round.foldersOk = missing.empty() && foldersIn(set + "/units") == foldersBefore + runs.size();
    std::printf("  set: units/ holds %zu folders (%zu before this round)%s\n", foldersIn(set + "/units"),
                foldersBefore, round.foldersOk ? "" : "  *** MISSING OR EXTRA FOLDERS");
    std::fflush(stdout);
    return round;
}

bool writeFirmwareSet(const std::string& root, const std::string& set)
{
    ChildProcess fwset;
    fwset.redirectToFile(ChildProcess::StdOut, root + "/fwset.out");
    fwset.mergeErrorIntoOutput();
    return fwset.start(FWSET_PATH, {"fwset", set}) && fwset.wait(60000) && fwset.exitStatus() == 0;
}

bool roundPassed(const Round& r)
{
    return r.passed == r.count && r.dataOk && r.foldersOk;
}

void printTable(const std::vector<Round>& rounds)
{
    const double lone = rounds.empty() || rounds.front().seconds.empty() ? 0 : rounds.front().seconds.front();
    std::printf("\nMany units from one set: each unit its own unitflash-cli, paced at 38400 baud, real pauses\n");
    std::printf("(lone unit %.1f s; targets: slowest / lone <= %.2f, cpu < %.0f %% of the run's elapsed time)\n\n",
                lone, kRatioTarget, kCpuPercentTarget);
    std::printf("| units | per unit, median | per unit, max | max / lone | cpu per unit (max) | all passed | "
                "load before, after |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const Round& r : rounds) {
        const double max = r.seconds.empty() ? 0 : *std::max_element(r.seconds.begin(), r.seconds.end());
        const double ratio = lone > 0 ? max / lone : 0;
        std::printf("| %d | %.1f s | %.1f s | %.3f %s | %.2f %% %s | %d of %d%s | %.2f, %.2f |\n", r.count,
                    median(r.seconds), max, ratio, ratio <= kRatioTarget ? "PASS" : "MISS", r.cpuPercentMax,
                    r.cpuPercentMax < kCpuPercentTarget ? "PASS" : "MISS", r.passed, r.count,
                    !roundPassed(r) ? ", *** FAILED" : r.dataOk ? ", data ok" : "", r.loadBefore, r.loadAfter);
    }
    std::fflush(stdout);
}

}  // namespace

bool benchManyUnits(const UnitsBenchRequest& request)
{
    std::vector<int> counts = request.counts;
    counts.erase(std::remove_if(counts.begin(), counts.end(), [](int n) { return n < 1; }), counts.end());
    std::sort(counts.begin(), counts.end());
    counts.erase(std::unique(counts.begin(), counts.end()), counts.end());
    counts.erase(std::remove(counts.begin(), counts.end(), 1), counts.end());
    counts.insert(counts.begin(), 1);  // the lone unit first, as the reference

    const std::string root = (fs::temp_directory_path() / ("units-bench-" + std::to_string(::getpid()))).string();
    const std::string set = root + "/set";
    std::error_code ec;
    fs::create_directories(root, ec);
    if (ec || !writeFirmwareSet(root, set)) {
        std::printf("cannot write the firmware set in %s\n", set.c_str());
        return false;
    }
    std::vector<Round> rounds;
    bool ok = true;
    for (int count : counts) {
        rounds.push_back(benchRound(count, request, root, set));
        ok = roundPassed(rounds.back()) && ok;
    }
    printTable(rounds);
    if (ok && !request.keep)
        fs::remove_all(root, ec);
    else
        std::printf("\nscratch kept in %s\n", root.c_str());
    if (!ok)
        std::printf("\n*** FAILED: a unitflash-cli did not end with 0, or a unit's data or folder is wrong\n");
    return ok;
}

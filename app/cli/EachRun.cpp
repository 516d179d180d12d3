// unitflash-cli --each: the loop over the units, which comes next, and the
// summary table.
#include "app/cli/EachRun.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/cli/CliSession.h"
#include "app/cli/CliTexts.h"
#include "app/cli/JsonEvents.h"
#include "comlink/Clock.h"

namespace {

constexpr std::size_t kShortCause = 48;  // characters of a cause in the table

// Which unit that answers is the next one to upgrade.
class NextUnit {
public:
    explicit NextUnit(Clock& clock) : clock(clock) {}

    // True when the search found the next unit. A search without an answer
    // (or without a port) is the silence a unit without a serial number
    // waits for, but not while the last unit restarts: an upgrade ends
    // with a restart, and the unit is silent until it answers again.
    bool take(IdentifyOutcome outcome, const UpgradeState& state)
    {
        if (outcome == IdentifyOutcome::NoUnit || outcome == IdentifyOutcome::NoVersion) {
            if (back || clock.tickMs() - endedMs >= kRestartLimitMs)
                silence = true;
            return false;
        }
        back = true;
        // A prompt without a kind ends the search before the serial number
        // is read: such a unit counts as one without.
        const std::string serial = outcome == IdentifyOutcome::UnknownKind ? "" : state.serialNumber();
        const bool fresh = serial.empty() ? silence : serial != last && !finished.contains(serial);
        if (!fresh)
            return false;
        last = serial;
        silence = false;
        return true;
    }

    // The unit taken last has ended its run.
    void ended(const UnitRun& unit)
    {
        if (unit.status == CLI_EXIT_DONE && !unit.serial.empty())
            finished.insert(unit.serial);
        back = false;
        endedMs = clock.tickMs();
    }

private:
    // A unit that has not answered this long after its run is gone.
    static constexpr std::uint32_t kRestartLimitMs = 60000;

    Clock& clock;
    std::string last;               // the serial number of the last unit taken
    std::set<std::string> finished; // serial numbers upgraded in this run
    bool silence = true;            // no unit answered since the last one (or there is none)
    bool back = true;               // a unit answered since the last one's run ended
    std::uint32_t endedMs = 0;
};

bool interrupted(const CliConsole& console)
{
    return console.interrupts != nullptr && console.interrupts->load() > 0;
}

void say(const CliConsole& console, const std::string& text)
{
    std::fprintf(console.out, "%s\n", text.c_str());
    std::fflush(console.out);
}

// The trace of the N-th unit (from 1): the file itself for the first,
// "trace-N.txt" for "trace.txt" after it, so that no unit's trace
// replaces another's.
std::string unitTraceFile(const std::string& file, int unitNumber)
{
    if (file.empty() || unitNumber == 1)
        return file;
    const std::filesystem::path path(file);
    const std::string name = path.stem().string() + "-" + std::to_string(unitNumber) + path.extension().string();
    return (path.parent_path() / name).string();
}

std::string unitName(const UnitRun& unit)
{
    return unit.serial.empty() ? "Unit without a serial number" : "Unit SN " + unit.serial;
}

// 0 when every unit finished and at least one did; else the status of the
// run that ended the loop when it was a problem (not a Ctrl-C while
// waiting); else that of the last unit that failed; 130 without a unit.
int eachStatus(const std::vector<UnitRun>& units, int endStatus)
{
    if (endStatus != CLI_EXIT_INTERRUPTED)
        return endStatus;
    int status = units.empty() ? CLI_EXIT_INTERRUPTED : CLI_EXIT_DONE;
    for (const UnitRun& unit : units)
        if (unit.status != CLI_EXIT_DONE)
            status = unit.status;
    return status;
}

// "done", or the status and the first line of the cause, cut short.
std::string resultText(const UnitRun& unit)
{
    if (unit.status == CLI_EXIT_DONE)
        return "done";
    std::string cause = unit.cause.substr(0, unit.cause.find('\n'));
    if (cause.size() > kShortCause)
        cause = cause.substr(0, kShortCause - 3) + "...";
    return "status " + std::to_string(unit.status) + (cause.empty() ? "" : ": " + cause);
}

std::string summaryRow(const UnitRun& unit)
{
    std::string kind = unitKindName(unit.unitKind);
    if (unit.model != 0)
        kind += " " + std::to_string(unit.model);
    char versions[64] = "-";
    if (unit.identified && unit.status == CLI_EXIT_DONE)
        std::snprintf(versions, sizeof versions, "%5.3f -> %5.3f", unit.versionBefore, unit.versionAfter);
    else if (unit.identified)
        std::snprintf(versions, sizeof versions, "%5.3f -> -", unit.versionBefore);
    const long seconds = static_cast<long>(unit.seconds + 0.5);
    char row[512];
    const std::string serial = unit.serial.empty() ? "(none)" : unit.serial;
    std::snprintf(row, sizeof row, "  %-13s  %-21s  %-15s  %3ld:%02ld  %s", serial.c_str(), kind.c_str(), versions,
                  seconds / 60, seconds % 60, resultText(unit).c_str());
    return row;
}

// A row per unit and a closing count.
std::string summaryText(const std::vector<UnitRun>& units, const std::string& portName)
{
    if (units.empty())
        return "\nNo unit was upgraded on " + portName + ".";
    std::size_t done = 0;
    for (const UnitRun& unit : units)
        done += unit.status == CLI_EXIT_DONE ? 1 : 0;
    std::string text = "\nUnits on " + portName + ":\n";
    char head[256];
    std::snprintf(head, sizeof head, "  %-13s  %-21s  %-15s  %6s  %s\n", "serial number", "unit", "version", "time",
                  "result");
    text += head;
    for (const UnitRun& unit : units)
        text += summaryRow(unit) + "\n";
    return text + std::to_string(units.size()) + (units.size() == 1 ? " unit: " : " units: ") + std::to_string(done)
        + " done, " + std::to_string(units.size() - done) + " failed.";
}

}  // namespace

int runEach(const CliRequest& asked, CliConsole& console)
{
    CliRequest request = asked;
    request.wait = true;
    const std::string portName = normalisePortName(asked.port);
    NextUnit next(systemClock());
    std::vector<UnitRun> units;
    int endStatus = CLI_EXIT_INTERRUPTED;
    while (true) {
        request.traceFile = unitTraceFile(asked.traceFile, static_cast<int>(units.size()) + 1);
        UnitPick pick;
        pick.take = [&next](IdentifyOutcome outcome, const UpgradeState& state) { return next.take(outcome, state); };
        // After the first unit the waiting line below says what the
        // searches would repeat every second.
        pick.quiet = !units.empty();
        UnitRun unit = upgradeOneUnit(request, console, pick);
        if (!unit.taken) {
            endStatus = unit.status;
            break;
        }
        if (console.events != nullptr)
            console.events->finished(unit.status, unit.cause);
        next.ended(unit);
        units.push_back(unit);
        if (unit.status == CLI_EXIT_INTERRUPTED || interrupted(console))
            break;
        const std::string waiting = unitName(unit) + (unit.status == CLI_EXIT_DONE ? " done" : " failed")
                                    + ". Waiting for the next unit on " + portName + " (Ctrl-C ends)...";
        say(console, "\n" + waiting);
        if (console.events != nullptr)
            console.events->notice(waiting);
    }
    const int status = eachStatus(units, endStatus);
    say(console, summaryText(units, portName));
    if (console.events != nullptr)
        console.events->summary(units, status);
    return status;
}

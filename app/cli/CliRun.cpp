// One unitflash-cli run over the engine's two workers.
#include "app/cli/CliRun.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "app/cli/CliSession.h"
#include "app/cli/CliTexts.h"
#include "app/cli/JsonEvents.h"
#include "app/cli/ProgressView.h"
#include "app/cli/TracingPort.h"
#include "comlink/PortNames.h"
#include "comlink/PortProblem.h"
#include "engine/ResumeLog.h"
#include "engine/UpgradePlan.h"
#include "engine/UnitFolder.h"
#include "engine/WorkFilesLock.h"
#include "engine/Workers.h"
#include "history/HistoryRecording.h"

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);

// What an upgrade run has built, kept together so that the steps stay small.
struct Run : CliSession {
    Run(const CliRequest& r, CliConsole& c) : CliSession(c), request(r), recording(r.historyFile, "cli") {}

    const CliRequest& request;
    HistoryRecording recording;
    bool identified = false;   // a unit answered: the run goes into the history
    double versionBefore = 0;  // as identified, before anything was sent
};

void printIdentity(Run& run)
{
    const UpgradeState& s = run.state;
    run.say(identityText(s, true));
    if (run.console.events != nullptr)
        run.console.events->identified(s, run.portName, false, true);
    // A stopped carry-over of this unit: its log holds the version the unit
    // had before it began, which is what the upgrade goes from.
    if (const double before = versionBeforeUpgrade(s, run.env); before != s.unitVersion) {
        char text[256];
        std::snprintf(text, sizeof text, "  resumes         the upgrade from %5.3f recorded in logfile.LOG", before);
        run.say(text);
    }
}

std::string question(const Run& run)
{
    const UpgradeState& s = run.state;
    const double from = versionBeforeUpgrade(s, run.env);
    const int mode = run.request.mode;
    const char* verb = mode == MODE_UPDATE_ONLY ? "Update" : mode == MODE_DOWNGRADE ? "Downgrade" : "Upgrade";
    char text[256];
    if (mode == MODE_DOWNGRADE)
        // The version it ends at is the backup's and the downgrade list's,
        // which only the unit can tell afterwards.
        std::snprintf(text, sizeof text,
                      "%s the %s SN %s from %5.3f (its backup image, then the set's downgrade list)? [y/N] ", verb,
                      unitKindName(s.unitKind).c_str(), s.serialNumber().c_str(), from);
    else
        std::snprintf(text, sizeof text, "%s the %s SN %s from %5.3f to %5.3f (%s)? [y/N] ", verb,
                      unitKindName(s.unitKind).c_str(), s.serialNumber().c_str(), from,
                      s.controlVersion.load(), modeName(mode).c_str());
    return text;
}

// What a later run will do, for the stop messages: resume from the log
// when this unit's log was written, else begin again.
std::string nextRunText(const Run& run)
{
    ResumeLog log(run.env.path(kResumeLogName));
    const std::string serial = run.state.serialNumber();
    if (log.load() && log.length() != 0 && !serial.empty() && log.sameUnit(serial))
        return "run unitflash-cli again and it resumes from logfile.LOG";
    return "run unitflash-cli again to upgrade it from the start";
}

// Where the upgrade stands, for the stop and failure messages.
std::string whereItStands(const UpgradeState& state)
{
    const StepListView steps = state.steps()->snapshot();
    const int running = runningStep(steps);
    if (running < 0)
        return steps.count() == 0 ? "before its step list" : "after its last step";
    return "at step " + std::to_string(running + 1) + "/" + std::to_string(steps.count()) + " ("
        + baseName(steps.slots[static_cast<std::size_t>(running)].name) + ")";
}

// One look at the record: the painter's frame, and the events of --json.
void showProgress(Run& run, ProgressPainter& painter, const std::string& staleStatus)
{
    // The list first: a snapshot taken after it then shows this list or a
    // later one, never an earlier one.
    const std::shared_ptr<StepList> list = run.state.steps();
    const ProgressSnapshot snap = takeProgressSnapshot(run.state, staleStatus);
    const std::uint32_t now = systemClock().tickMs();
    painter.show(snap, now);
    if (run.console.events != nullptr)
        run.console.events->upgradePoll(list, snap, now);
}

UpgradeOutcome upgrade(Run& run)
{
    UpgradeOutcome outcome = UpgradeOutcome::Stopped;
    ProgressPainter painter(run.console.out, run.console.inPlace);
    const std::string staleStatus = run.state.statusText();
    int errorsShown = run.state.errorRaises.load();
    bool warningDue = false;
    JsonEvents* events = run.console.events;
    if (events != nullptr)
        events->setPhases(upgradePhases(run.state, run.env));
    run.worker.start([&run, &outcome] { outcome = runUpgrade(run.state, run.env); });
    while (run.worker.running()) {
        std::this_thread::sleep_for(kPollInterval);
        // A flag raised while the worker goes on is a warning (a step list
        // that could not be read whole); one raised as it ends is its failure.
        if (warningDue && run.worker.running()) {
            painter.printAbove("Warning: " + run.state.failureText() + "\n");
            if (events != nullptr)
                events->notice("Warning: " + run.state.failureText());
        }
        warningDue = false;
        if (run.state.errorFlag.load() != 0 || run.state.errorRaises.load() != errorsShown) {
            run.state.errorFlag = 0;
            errorsShown = run.state.errorRaises.load();
            warningDue = true;
        }
        showProgress(run, painter, staleStatus);
        if (run.newInterrupt()) {
            const std::string stopping = "Stopping: the unit is " + whereItStands(run.state) + ".\n"
                                         + "It keeps what was sent; " + nextRunText(run) + ".";
            painter.printAbove(stopping + "\n(Ctrl-C again to quit at once.)\n");
            if (events != nullptr)
                events->notice(stopping);
            run.worker.requestStop();
        }
    }
    run.worker.join();
    showProgress(run, painter, staleStatus);
    painter.finish();
    return outcome;
}

int finishUpgrade(Run& run, UpgradeOutcome outcome)
{
    const UpgradeState& s = run.state;
    switch (outcome) {
    case UpgradeOutcome::Done:
        run.say("\n" + completionText(s.unitKind, s.unitVersion, s.finalVersion));
        return CLI_EXIT_DONE;
    case UpgradeOutcome::Stopped: {
        std::string next = nextRunText(run);
        next[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(next[0])));
        run.say("Stopped " + whereItStands(s) + ". " + next + ".");
        run.cause = "stopped with Ctrl-C " + whereItStands(s);
        return CLI_EXIT_INTERRUPTED;
    }
    case UpgradeOutcome::Refused:
        run.complain(s.failureText());
        return refusalStatus(static_cast<Refusal>(s.refusal.load()));
    case UpgradeOutcome::Failed:
        break;
    }
    std::string detail = "The upgrade failed " + whereItStands(s) + ".";
    if (const std::string why = s.failureText(); !why.empty())
        detail += "\n" + why;
    detail += "\nThe unit keeps what was sent; " + nextRunText(run) + " once the cause is mended.";
    run.complain(detail);
    return CLI_EXIT_FAILED;
}

int identifyAndCheck(Run& run)
{
    const IdentifyOutcome found = run.request.wait ? waitForUnit(run) : searchUnit(run);
    if (const int status = searchProblem(run, found); status != CLI_EXIT_DONE)
        return status;
    if (found == IdentifyOutcome::NoControlFile) {
        run.complain("missing firmware set: control.upd cannot be read.");
        return CLI_EXIT_USAGE;
    }
    run.identified = true;
    run.versionBefore = versionBeforeUpgrade(run.state, run.env);
    printIdentity(run);
    if (run.state.mode != MODE_UPDATE_ONLY) {
        run.complain("missing firmware set: control.upd holds no version (\"Rev\").");
        return CLI_EXIT_USAGE;
    }
    if (run.state.unitVersion < kOldestUpgradable) {
        run.say("\n" + techSupportText());
        run.cause = "the unit's firmware is older than 1.090: send it to customer service";
        return CLI_EXIT_TOO_OLD;
    }
    return CLI_EXIT_DONE;
}

// The checks that refuse before the question: a unit newer than the set,
// and everything the engine checks before it sends its first byte.
int checkPlan(Run& run)
{
    const UpgradeState& s = run.state;
    // Versions compare as the unit shows them, with three decimals.
    const auto thousandths = [](double v) { return static_cast<long>(v * 1000.0 + 0.5); };
    if (run.request.mode != MODE_DOWNGRADE && !run.request.allowOlderSet
        && thousandths(s.unitVersion) > thousandths(s.controlVersion)) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "The unit's firmware (%5.3f) is newer than this firmware set (%5.3f); upgrading would put"
                      " older firmware into it. Use a newer set, or --allow-older-set to go back on purpose."
                      " Nothing was sent.",
                      s.unitVersion.load(), s.controlVersion.load());
        run.complain(text);
        return CLI_EXIT_NEWER_UNIT;
    }
    run.state.mode = run.request.mode;
    const PlanCheck plan = checkUpgradePlan(run.state, run.env);
    run.state.mode = MODE_UPDATE_ONLY;
    if (plan.ok())
        return CLI_EXIT_DONE;
    std::string hint;
    if (plan.refusal == Refusal::PendingOtherUnit) {
        hint = "\nIf this unit is that one, --resume-unnamed resumes it; if it is another, --discard-pending"
               " upgrades it in a folder of its own.";
    }
    run.complain(plan.text + hint);
    return refusalStatus(plan.refusal);
}

}  // namespace

std::string normalisePortName(const std::string& port)
{
    if (!port.empty() && port.find_first_not_of("0123456789") == std::string::npos)
        return "Comm " + port;
    // A device path relative to where the program was started must still
    // name the same device after the move into the firmware set.
    if (parsePortName(port) < 0 && !port.empty() && std::filesystem::path(port).is_relative()) {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(port, ec);
        if (!ec)
            return absolute.string();
    }
    return port;
}

namespace {

int upgradeUnit(Run& run)
{
    const CliRequest& request = run.request;
    if (run.console.events != nullptr && !request.assumeYes) {
        run.complain("--json asks no question: give --yes as well to upgrade");
        return CLI_EXIT_USAGE;
    }
    std::shared_ptr<TraceLog> trace;
    if (!request.traceFile.empty()) {
        trace = std::make_shared<TraceLog>(request.traceFile, systemClock());
        if (!trace->ok()) {
            run.complain("cannot write the trace file \"" + request.traceFile + "\"");
            return CLI_EXIT_USAGE;
        }
        trace->note("unitflash-cli on " + describePort(normalisePortName(request.port)) + ", mode "
                    + modeName(request.mode));
    }
    if (std::string problem; !findFirmwareSet(request.workDir, run.env.workDir, problem)) {
        run.complain(problem);
        return CLI_EXIT_USAGE;
    }
    run.preparePort(request.port, trace, request.pauseScale, request.openDelayMs);
    run.env.discardPending = request.discardPending;
    run.env.resumeUnnamed = request.resumeUnnamed;
    if (const int status = identifyAndCheck(run); status != CLI_EXIT_DONE)
        return status;
    if (const int status = checkPlan(run); status != CLI_EXIT_DONE)
        return status;
    // The unit's working folder is this run's from before the question to
    // the end, so a second run on the same unit is refused before it asks.
    if (const PlanCheck claimed = claimUnitFolder(run.lock, run.env, run.state.serialNumber()); !claimed.ok()) {
        run.complain(claimed.text);
        return refusalStatus(claimed.refusal);
    }
    // The converters' messages would scroll the redrawn progress away: they
    // go beside the trace, or into a log in the unit's folder; a plain log
    // keeps them. Absolute, since the programs run in the unit's folder.
    std::error_code ec;
    if (!request.traceFile.empty())
        run.env.toolOutput = std::filesystem::absolute(request.traceFile + ".tools", ec).string();
    else if (run.console.inPlace)
        run.env.toolOutput = (std::filesystem::path(run.env.unitDir) / "unitflash-tools.log").string();
    if (!request.assumeYes && !(run.console.confirm && run.console.confirm(question(run)))) {
        run.say("Nothing was sent to the unit.");
        run.cause = "the confirmation was answered no; nothing was sent";
        return CLI_EXIT_DECLINED;
    }
    run.state.mode = request.mode;
    run.say(keepConnectedText());
    return finishUpgrade(run, upgrade(run));
}

}  // namespace

namespace {

// Adds a run that identified a unit to the history. A history that cannot
// be written costs one warning and changes nothing else.
void recordRun(Run& run, int status)
{
    if (!run.identified || !run.recording.enabled())
        return;
    HistoryRecord record =
        HistoryRecording::unitRecord(run.state, run.versionBefore, run.request.mode, status == CLI_EXIT_DONE);
    record.port = run.request.port;
    const int index = parsePortName(run.portName);
    record.device = index >= 0 ? portDevicePath(index) : run.portName;
    record.status = status;
    record.cause = status == CLI_EXIT_DONE ? "" : run.cause;
    std::error_code ec;
    if (!run.request.traceFile.empty())
        record.trace = std::filesystem::absolute(run.request.traceFile, ec).string();
    if (const std::string warning = run.recording.write(record); !warning.empty()) {
        std::fprintf(run.console.err, "unitflash-cli: %s\n", warning.c_str());
        std::fflush(run.console.err);
    }
}

}  // namespace

UnitRun upgradeOneUnit(const CliRequest& request, CliConsole& console, const UnitPick& pick)
{
    Run run(request, console);
    UnitRun result;
    auto takenAt = std::chrono::steady_clock::now();
    if (pick.take) {
        run.pick.quiet = pick.quiet;
        run.pick.take = [&](IdentifyOutcome outcome, const UpgradeState& state) {
            if (!pick.take(outcome, state))
                return false;
            result.taken = true;
            takenAt = std::chrono::steady_clock::now();
            run.recording.restartClock();
            return true;
        };
    }
    result.status = upgradeUnit(run);
    recordRun(run, result.status);
    const UpgradeState& s = run.state;
    result.cause = run.cause;
    result.identified = run.identified;
    result.unitKind = s.unitKind;
    result.model = s.model;
    // A search that found no unit to identify leaves an earlier unit's.
    result.serial = run.identified ? s.serialNumber() : "";
    result.versionBefore = run.versionBefore;
    result.versionAfter = result.status == CLI_EXIT_DONE ? s.finalVersion.load() : 0.0;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - takenAt).count();
    return result;
}

int runCli(const CliRequest& request, CliConsole& console)
{
    const UnitRun result = upgradeOneUnit(request, console, UnitPick{});
    if (console.events != nullptr)
        console.events->finished(result.status, result.cause);
    return result.status;
}

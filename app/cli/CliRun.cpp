// One unitflash-cli run over the engine's two workers.
#include "app/cli/CliRun.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "app/cli/CliTexts.h"
#include "app/cli/ProgressView.h"
#include "app/cli/TracingPort.h"
#include "comlink/PortFactory.h"
#include "comlink/PortNames.h"
#include "engine/Workers.h"

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);

// What a run has built, kept together so that the steps stay small.
struct Run {
    Run(const CliRequest& r, CliConsole& c) : request(r), console(c) {}

    const CliRequest& request;
    CliConsole& console;
    std::string portName;
    std::string portText;  // the name with its device, for messages
    UpgradeState state;
    EngineEnv env;
    std::shared_ptr<std::atomic<int>> openResult = std::make_shared<std::atomic<int>>(0);
    int pressesSeen = 0;
    // Last, so that it is destroyed first: its destructor stops and joins
    // the worker, which uses the state and the env.
    WorkerThread worker;

    void say(const std::string& text)
    {
        std::fprintf(console.out, "%s\n", text.c_str());
        std::fflush(console.out);
    }
    void complain(const std::string& text)
    {
        std::fprintf(console.err, "unitflash-cli: %s\n", text.c_str());
        std::fflush(console.err);
    }
    // True once a new Ctrl-C press arrived since the last call.
    bool newInterrupt()
    {
        const int presses = console.interrupts != nullptr ? console.interrupts->load() : 0;
        const bool fresh = presses > pressesSeen;
        pressesSeen = presses;
        return fresh;
    }
};

// "Comm 2 (/dev/ttyUSB1)" for a port name, "Comm 3 (\\.\COM3, not present)"
// when the system has no such device, the path alone for a path.
std::string describePort(const std::string& portName)
{
    const int index = parsePortName(portName);
    if (index < 0)
        return portName;
    const std::string path = portDevicePath(index);
    if (path.empty())
        return portName + " (no such device)";
    return portName + " (" + path + (portPresent(index) ? "" : ", not present") + ")";
}

// Opens portName whatever index the engine asks for; keeps the result of
// the latest open in openResult.
PortOpener makeOpener(const std::string& portName, std::shared_ptr<TraceLog> trace,
                      std::shared_ptr<std::atomic<int>> openResult)
{
    return [portName, trace, openResult](int, int rxQueue, int txQueue) -> std::unique_ptr<CommPort> {
        std::unique_ptr<CommPort> port = openCommPort(portName, rxQueue, txQueue);
        *openResult = port->lastError;
        if (!trace)
            return port;
        return std::make_unique<TracingPort>(std::move(port), trace, portName);
    };
}

// Finds the firmware set (the folder asked for, else the current one) and
// gives the engine its absolute path; the process's own working directory
// stays as it is. False, with a message, when the folder has no set.
bool locateFirmwareSet(Run& run)
{
    std::error_code ec;
    const std::string asked = run.request.workDir.empty() ? std::string(".") : run.request.workDir;
    const std::filesystem::path folder = std::filesystem::absolute(asked, ec).lexically_normal();
    if (ec || !std::filesystem::is_directory(folder, ec)) {
        run.complain("missing firmware set: cannot use \"" + asked + "\": "
                     + (ec ? ec.message() : std::string("no such folder")));
        return false;
    }
    if (!std::filesystem::is_regular_file(folder / "control.upd", ec)) {
        run.complain("missing firmware set: no control.upd in \"" + folder.string() + "\"");
        return false;
    }
    run.env.workDir = folder.string();
    return true;
}

IdentifyOutcome identify(Run& run)
{
    run.say("Looking for a unit on " + run.portText + "...");
    IdentifyOutcome outcome = IdentifyOutcome::Stopped;
    std::string shown;
    run.worker.start([&run, &outcome] { outcome = runIdentification(run.state, run.env); });
    while (run.worker.running()) {
        std::this_thread::sleep_for(kPollInterval);
        const std::string status = run.state.statusText();
        if (status != shown && !status.empty() && run.worker.running())
            run.say("  " + status);
        shown = status;
        if (run.newInterrupt()) {
            run.say("Stopping the search; nothing has been sent to the unit (Ctrl-C again to quit at once).");
            run.worker.requestStop();
        }
    }
    run.worker.join();
    return outcome;
}

void printIdentity(Run& run)
{
    const UpgradeState& s = run.state;
    char text[512];
    std::snprintf(text, sizeof text,
                  "Found: %s\n  model           %d\n  serial number   %s\n  unit version    %5.3f\n"
                  "  firmware set    %5.3f\n  rate            %d baud",
                  unitKindName(s.unitKind).c_str(), s.model.load(), s.serialNumber().c_str(), s.unitVersion.load(),
                  s.controlVersion.load(), s.baudRate.load());
    run.say(text);
}

std::string question(const Run& run)
{
    const UpgradeState& s = run.state;
    const int mode = run.request.mode;
    const char* verb = mode == MODE_UPDATE_ONLY ? "Update" : mode == MODE_DOWNGRADE ? "Downgrade" : "Upgrade";
    char text[256];
    if (mode == MODE_DOWNGRADE)
        // The version it ends at is the backup's and the downgrade list's,
        // which only the unit can tell afterwards.
        std::snprintf(text, sizeof text,
                      "%s the %s SN %s from %5.3f (its backup image, then the set's downgrade list)? [y/N] ", verb,
                      unitKindName(s.unitKind).c_str(), s.serialNumber().c_str(), s.unitVersion.load());
    else
        std::snprintf(text, sizeof text, "%s the %s SN %s from %5.3f to %5.3f (%s)? [y/N] ", verb,
                      unitKindName(s.unitKind).c_str(), s.serialNumber().c_str(), s.unitVersion.load(),
                      s.controlVersion.load(), modeName(mode).c_str());
    return text;
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

UpgradeOutcome upgrade(Run& run)
{
    UpgradeOutcome outcome = UpgradeOutcome::Stopped;
    ProgressPainter painter(run.console.out, run.console.inPlace);
    const std::string staleStatus = run.state.statusText();
    int errorsShown = run.state.errorRaises.load();
    bool warningDue = false;
    run.worker.start([&run, &outcome] { outcome = runUpgrade(run.state, run.env); });
    while (run.worker.running()) {
        std::this_thread::sleep_for(kPollInterval);
        // A flag raised while the worker goes on is a warning (a step list
        // that could not be read whole); one raised as it ends is its failure.
        if (warningDue && run.worker.running())
            painter.printAbove("Warning: " + missingFilesText() + "\n");
        warningDue = false;
        if (run.state.errorFlag.load() != 0 || run.state.errorRaises.load() != errorsShown) {
            run.state.errorFlag = 0;
            errorsShown = run.state.errorRaises.load();
            warningDue = true;
        }
        painter.show(takeProgressSnapshot(run.state, staleStatus), systemClock().tickMs());
        if (run.newInterrupt()) {
            painter.printAbove("Stopping: the unit is " + whereItStands(run.state) + ".\n"
                               + "It keeps what was sent; run unitflash-cli again and it resumes from"
                                 " logfile.LOG.\n(Ctrl-C again to quit at once.)\n");
            run.worker.requestStop();
        }
    }
    run.worker.join();
    painter.show(takeProgressSnapshot(run.state, staleStatus), systemClock().tickMs());
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
    case UpgradeOutcome::Stopped:
        run.say("Stopped " + whereItStands(s) + ". Run unitflash-cli again to resume.");
        return CLI_EXIT_INTERRUPTED;
    case UpgradeOutcome::Failed:
        break;
    }
    run.say("\n" + missingFilesText());
    std::string detail = "The upgrade failed " + whereItStands(s) + ".";
    const StepListView steps = s.steps()->snapshot();
    const int running = runningStep(steps);
    if (running >= 0) {
        const std::string name = steps.slots[static_cast<std::size_t>(running)].name;
        std::error_code ec;
        if (name.find("REBOOT") == std::string::npos && name.find("NOTHING") == std::string::npos
            && !std::filesystem::exists(name, ec))
            detail += " The file \"" + name + "\" is not in the firmware set.";
    }
    run.complain(detail);
    return CLI_EXIT_FAILED;
}

int identifyAndCheck(Run& run)
{
    const IdentifyOutcome found = identify(run);
    switch (found) {
    case IdentifyOutcome::Stopped:
        run.say("Stopped; nothing was sent to the unit.");
        return CLI_EXIT_INTERRUPTED;
    case IdentifyOutcome::NoUnit:
        if (const int error = run.openResult->load(); error != 0) {
            run.complain("cannot open " + run.portText + " (error " + std::to_string(error)
                         + "; in use, missing, or no permission).\n(" + run.state.statusText() + ")");
            return CLI_EXIT_FAILED;
        }
        run.complain("No unit answered on " + run.portText + " at 38400 or 57600 baud.\n"
                     "Check the cable and that the unit is in its software-update mode.\n("
                     + run.state.statusText() + ")");
        return CLI_EXIT_FAILED;
    case IdentifyOutcome::NoControlFile:
        run.complain("missing firmware set: control.upd cannot be read.\n" + missingFilesText());
        return CLI_EXIT_USAGE;
    case IdentifyOutcome::Identified:
        break;
    }
    printIdentity(run);
    if (run.state.mode != MODE_UPDATE_ONLY) {
        run.complain("missing firmware set: control.upd holds no version (\"Rev\").\n" + missingFilesText());
        return CLI_EXIT_USAGE;
    }
    if (run.state.unitVersion < kOldestUpgradable) {
        run.say("\n" + techSupportText());
        return CLI_EXIT_TOO_OLD;
    }
    return CLI_EXIT_DONE;
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

int runCli(const CliRequest& request, CliConsole& console)
{
    Run run(request, console);
    run.portName = normalisePortName(request.port);
    run.portText = describePort(run.portName);

    std::shared_ptr<TraceLog> trace;
    if (!request.traceFile.empty()) {
        trace = std::make_shared<TraceLog>(request.traceFile, systemClock());
        if (!trace->ok()) {
            run.complain("cannot write the trace file \"" + request.traceFile + "\"");
            return CLI_EXIT_USAGE;
        }
        trace->note("unitflash-cli on " + run.portText + ", mode " + modeName(request.mode));
    }
    if (!locateFirmwareSet(run))
        return CLI_EXIT_USAGE;
    // The converters' messages would scroll the redrawn progress away: they
    // go beside the trace, or into a log in the set; a plain log keeps them.
    // Absolute, since the programs run in the set's folder.
    std::error_code ec;
    if (!request.traceFile.empty())
        run.env.toolOutput = std::filesystem::absolute(request.traceFile + ".tools", ec).string();
    else if (console.inPlace)
        run.env.toolOutput = (std::filesystem::path(run.env.workDir) / "unitflash-tools.log").string();

    // The engine opens "Comm portIndex+1"; the opener ignores the index and
    // opens the name given, so a device path works as well.
    run.state.portIndex = static_cast<std::uint16_t>(std::max(0, parsePortName(run.portName)));
    run.env.openPort = makeOpener(run.portName, trace, run.openResult);
    run.env.stop = &run.worker.stopFlag();
    run.env.pauseScale = request.pauseScale;
    run.env.openDelayMs = request.openDelayMs;

    if (const int status = identifyAndCheck(run); status != CLI_EXIT_DONE)
        return status;
    if (!request.assumeYes && !(console.confirm && console.confirm(question(run)))) {
        run.say("Nothing was sent to the unit.");
        return CLI_EXIT_DECLINED;
    }
    run.state.mode = request.mode;
    return finishUpgrade(run, upgrade(run));
}

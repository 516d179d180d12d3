// The port, the worker and the unit search shared by unitflash-cli's commands.
#include "app/cli/CliSession.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/cli/CliTexts.h"
#include "app/cli/TracingPort.h"
#include "comlink/PortFactory.h"
#include "comlink/PortNames.h"
#include "comlink/PortProblem.h"

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);

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

}  // namespace

void CliSession::say(const std::string& text)
{
    std::fprintf(console.out, "%s\n", text.c_str());
    std::fflush(console.out);
}

void CliSession::complain(const std::string& text)
{
    cause = text;
    std::fprintf(console.err, "unitflash-cli: %s\n", text.c_str());
    std::fflush(console.err);
}

bool CliSession::newInterrupt()
{
    const int presses = console.interrupts != nullptr ? console.interrupts->load() : 0;
    const bool fresh = presses > pressesSeen;
    pressesSeen = presses;
    return fresh;
}

void CliSession::preparePort(const std::string& port, std::shared_ptr<TraceLog> trace, double pauseScale,
                             int openDelayMs)
{
    askedPort = port;
    portName = normalisePortName(port);
    portText = describePort(portName);
    // The engine opens "Comm portIndex+1"; the opener ignores the index and
    // opens the name given, so a device path works as well.
    state.portIndex = static_cast<std::uint16_t>(std::max(0, parsePortName(portName)));
    env.openPort = makeOpener(portName, std::move(trace), openResult);
    env.stop = &worker.stopFlag();
    env.pauseScale = pauseScale;
    env.openDelayMs = openDelayMs;
}

bool findFirmwareSet(const std::string& askedDir, std::string& folder, std::string& problem)
{
    std::error_code ec;
    const std::string asked = askedDir.empty() ? std::string(".") : askedDir;
    const std::filesystem::path path = std::filesystem::absolute(asked, ec).lexically_normal();
    if (!ec)
        folder = path.string();
    if (ec || !std::filesystem::is_directory(path, ec)) {
        problem = "missing firmware set: cannot use \"" + asked + "\": "
                  + (ec ? ec.message() : std::string("no such folder"));
        return false;
    }
    if (!std::filesystem::is_regular_file(path / "control.upd", ec)) {
        problem = "missing firmware set: no control.upd in \"" + path.string() + "\"";
        return false;
    }
    return true;
}

IdentifyOutcome searchUnit(CliSession& run, bool quiet)
{
    if (!quiet)
        run.say("Looking for a unit on " + run.portText + "...");
    IdentifyOutcome outcome = IdentifyOutcome::Stopped;
    std::string shown;
    run.worker.start([&run, &outcome] { outcome = runIdentification(run.state, run.env); });
    while (run.worker.running()) {
        std::this_thread::sleep_for(kPollInterval);
        const std::string status = run.state.statusText();
        // The wizard's "GO BACK" text for a port that did not open is
        // replaced by the CLI's own explanation after the search.
        if (!quiet && status != shown && !status.empty() && run.worker.running()
            && status.rfind("Error opening", 0) != 0)
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

IdentifyOutcome waitForUnit(CliSession& run)
{
    const UnitPick& pick = run.pick;
    const auto taken = [&run, &pick](IdentifyOutcome outcome) {
        if (outcome == IdentifyOutcome::Stopped)
            return true;
        if (pick.take)
            return pick.take(outcome, run.state);
        return outcome != IdentifyOutcome::NoUnit && outcome != IdentifyOutcome::NoVersion;
    };
    IdentifyOutcome outcome = searchUnit(run, pick.quiet);
    bool told = pick.quiet;
    while (!taken(outcome)) {
        if (!told)
            run.say("No unit answers on " + run.portText + " yet; waiting for one (Ctrl-C ends the wait)...");
        told = true;
        for (int i = 0; i < 10; ++i) {
            std::this_thread::sleep_for(kPollInterval);
            if (run.newInterrupt())
                return IdentifyOutcome::Stopped;
        }
        outcome = searchUnit(run, true);
    }
    if (told && !pick.quiet && outcome != IdentifyOutcome::Stopped)
        run.say("A unit answers on " + run.portText + ".");
    return outcome;
}

int searchProblem(CliSession& run, IdentifyOutcome outcome)
{
    switch (outcome) {
    case IdentifyOutcome::Stopped:
        run.say("Stopped; nothing was sent to the unit.");
        run.cause = "stopped with Ctrl-C";
        return CLI_EXIT_INTERRUPTED;
    case IdentifyOutcome::NoUnit:
        if (const int error = run.openResult->load(); error != 0) {
            run.complain(portOpenProblem(run.askedPort, error));
            return CLI_EXIT_FAILED;
        }
        run.complain("No unit answered on " + run.portText + " at 38400 or 57600 baud.\n"
                     "Check the cable and that the unit is in its software-update mode.");
        return CLI_EXIT_FAILED;
    case IdentifyOutcome::UnknownKind:
    case IdentifyOutcome::NoVersion:
        run.complain(run.state.statusText());
        return CLI_EXIT_FAILED;
    case IdentifyOutcome::NoControlFile:
    case IdentifyOutcome::Identified:
        break;
    }
    return CLI_EXIT_DONE;
}

// What every unitflash-cli command that talks to a unit builds: the port
// and its opener, the shared record, the worker, and the console with its
// Ctrl-C presses; and the search for the unit.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "app/cli/CliRun.h"
#include "engine/EngineEnv.h"
#include "engine/UpgradeState.h"
#include "engine/WorkFilesLock.h"
#include "engine/Workers.h"

class TraceLog;

// Which unit a wait for one (waitForUnit) takes.
struct UnitPick {
    // Called on the waiting thread after every search that was not
    // stopped, with its outcome and the state it filled (the identity of a
    // unit that answered); true ends the wait with that outcome. Null takes
    // the first unit that answers.
    std::function<bool(IdentifyOutcome outcome, const UpgradeState& state)> take;
    // Searches without the status lines and the "waiting" texts: the
    // caller has said what it waits for.
    bool quiet = false;
};

struct CliSession {
    explicit CliSession(CliConsole& c) : console(c) {}

    CliConsole& console;
    std::string askedPort;  // the port as given, for the texts of a failed open
    std::string portName;
    std::string portText;   // the name with its device, for messages
    UpgradeState state;
    EngineEnv env;
    std::shared_ptr<std::atomic<int>> openResult = std::make_shared<std::atomic<int>>(0);
    int pressesSeen = 0;
    // The last complaint, the cause a --json run reports with its status.
    std::string cause;
    // Which unit waitForUnit takes.
    UnitPick pick;
    // Held by an upgrade from before the search to the end, so that a
    // second run in the same set is refused before it asks anything.
    WorkFilesLock lock;
    // Last, so that it is destroyed first: its destructor stops and joins
    // the worker, which uses the state and the env.
    WorkerThread worker;

    // A line for the person at the console.
    void say(const std::string& text);
    // A problem, on standard error; kept as the cause.
    void complain(const std::string& text);
    // True once a new Ctrl-C press arrived since the last call.
    bool newInterrupt();
    // Names the port (normalisePortName) and gives the engine its opener
    // (recording through trace when not null), the stop flag and the
    // pauses. workDir must be set before the search.
    void preparePort(const std::string& port, std::shared_ptr<TraceLog> trace, double pauseScale, int openDelayMs);
};

// The firmware set asked for (the current folder for ""), as an absolute
// folder. False, with problem set, when the folder cannot be used or has
// no control.upd; folder is still filled when the path could be made
// absolute.
bool findFirmwareSet(const std::string& asked, std::string& folder, std::string& problem);

// Runs the identification on the session's port, showing its status lines
// (unless quiet) and turning a Ctrl-C into a stop request. Waits, polling
// every 100 ms.
IdentifyOutcome searchUnit(CliSession& session, bool quiet = false);

// searchUnit, again and again while no unit answers (or session.pick
// does not take the one that does), about once a second after each search,
// until one is taken or Ctrl-C ends the wait (Stopped). A port that is not
// there yet counts as no answer: the adapter may come with the unit.
IdentifyOutcome waitForUnit(CliSession& session);

// The exit status of a search that found no unit, with its message: a port
// that did not open, no answer, an unknown kind, or a stop. CLI_EXIT_DONE
// for Identified and NoControlFile, which the caller judges.
int searchProblem(CliSession& session, IdentifyOutcome outcome);

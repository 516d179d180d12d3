// One unitflash-cli run: find the unit, check it, confirm, upgrade, report.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>

#include "engine/UpgradeState.h"

class JsonEvents;
struct UnitPick;

struct CliRequest {
    std::string port = "Comm 1";   // "Comm N", a number N, or a device path
    int mode = MODE_REINSTALL;     // MODE_UPDATE_ONLY, MODE_REINSTALL or MODE_DOWNGRADE
    std::string workDir;           // the firmware set; "" = the current directory
    std::string traceFile;         // "" = no trace
    bool assumeYes = false;        // upgrade without asking
    bool allowOlderSet = false;    // reinstall an older set over a newer unit
    bool discardPending = false;   // a unit without serial number is not the unnamed pending one
    bool resumeUnnamed = false;    // a unit without a serial number resumes such a unit's log
    bool wait = false;             // search again until a unit answers (or Ctrl-C)
    double pauseScale = 1.0;       // multiplies the engine's fixed console pauses
    int openDelayMs = 5000;        // the engine's wait before it opens the port
    std::string historyFile;       // the upgrade history to add this run to; "" = none
    bool each = false;             // one unit after another on the port (runEach), not runCli
};

// The console the run talks to.
struct CliConsole {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool inPlace = false;  // redraw the progress in place (a terminal)
    // Asks the question; true for yes. Not called with assumeYes.
    std::function<bool(const std::string& question)> confirm;
    // Ctrl-C presses so far (the first asks the engine to stop); may be null.
    const std::atomic<int>* interrupts = nullptr;
    // --json: the run's events go here, one object per line, and out is
    // the human display (standard error then); null otherwise.
    JsonEvents* events = nullptr;
};

// "Comm N" for a plain number N, the name itself otherwise.
std::string normalisePortName(const std::string& port);

// Runs the whole upgrade of the unit on request.port and returns the exit
// status (CliExit). The engine gets workDir (or the current directory) as
// an absolute folder and reads the set's files there; the process's working
// directory is not changed, so relative paths of the request (the trace)
// mean what they meant on the command line. The calling thread waits,
// polling the workers every 100 ms. With console.events the run reports
// its events, ends with "finished" or "failed", and refuses (status 2)
// without assumeYes, since it asks no question. A run that identified a
// unit adds one record to the history in historyFile; a history that
// cannot be written costs one warning and changes nothing else.
int runCli(const CliRequest& request, CliConsole& console);

// What one unit's upgrade run ended with, for a summary of several.
struct UnitRun {
    int status = 1;            // the exit status (CliExit)
    std::string cause;         // the last complaint; the one that ended it unless it finished
    bool taken = false;        // the pick took a unit that answered (upgradeOneUnit with a pick)
    bool identified = false;   // the unit was identified: it has its history record
    int unitKind = UNIT_UNKNOWN;
    int model = 0;
    std::string serial;        // "" for a unit without one
    double versionBefore = 0;  // as identified, before anything was sent
    double versionAfter = 0;   // the unit's version at the end; 0 unless it finished
    double seconds = 0;        // from the unit's answer (with a pick) or the start to the end
};

// runCli without its closing "finished"/"failed" event, for a run that
// goes on to another unit: waits (request.wait) for the unit pick takes,
// searching as pick says; the unit's history record starts when the pick
// takes it. Returns what the run ended with.
UnitRun upgradeOneUnit(const CliRequest& request, CliConsole& console, const UnitPick& pick);

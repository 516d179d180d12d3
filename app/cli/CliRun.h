// One unitflash-cli run: find the unit, check it, confirm, upgrade, report.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>

#include "engine/UpgradeState.h"

class JsonEvents;

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

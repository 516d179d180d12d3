// unitflash-cli identify: finds the unit on a port and tells what it is,
// sending nothing beyond the identification.
#pragma once

#include <string>

#include "app/cli/CliRun.h"

struct IdentifyRequest {
    std::string port = "Comm 1";  // "Comm N", a number N, or a device path
    std::string workDir;          // the set whose version is shown; "" = the current directory
    double pauseScale = 1.0;      // multiplies the engine's fixed console pauses
    int openDelayMs = 5000;       // the engine's wait before it opens the port
};

// Runs the identification and prints the unit's kind, model, serial
// number, version and rate, and the set's version when the folder holds a
// set with one (a missing set is no error here). Returns CLI_EXIT_DONE when
// a unit was found, CLI_EXIT_FAILED for no unit or a port that did not
// open, CLI_EXIT_INTERRUPTED after Ctrl-C. The calling thread waits.
int runIdentify(const IdentifyRequest& request, CliConsole& console);

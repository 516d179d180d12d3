// unitflash-cli check: checks a firmware set without a unit.
#pragma once

#include <string>

#include "app/cli/CliRun.h"

struct CheckRequest {
    std::string workDir;  // the set; "" = the current directory
};

// Reads the set's control.upd and prints, for every list it holds, which
// model and kind it upgrades in which mode to which version, and what it
// lacks. Returns CLI_EXIT_DONE when every list is complete,
// CLI_EXIT_SET_LACKS when a file or program is missing, a list cannot be
// read whole or there is no list at all, CLI_EXIT_USAGE when the folder
// holds no set or its control.upd has no version.
int runCheck(const CheckRequest& request, CliConsole& console);

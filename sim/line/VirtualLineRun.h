// One virtualline run: the line between two pseudo-terminals, with a
// program on end B when one is given.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sim/line/LineOptions.h"

class VirtualLine;

// The line as the command line described it.
struct VirtualLineRequest {
    LineOptions options;                   // both directions, limits, links
    std::string recordPath;                // each chunk read from an end goes here; empty: none
    std::vector<std::string> peerCommand;  // PROGRAM [ARGS...] to run on end B; empty: none
    bool verbose = false;                  // speed changes and counters on standard error
};

// Builds, in this order, the record file, the line and (with a program) the
// program relayed to end B through pipes. Prints "A <path>" and "B <path>"
// on standard output once the line is open, then hands it to publish() so
// that a signal handler can stop it, and runs it on the calling thread (or
// on its own thread while the program runs) until it ends; publish(nullptr)
// before the line goes. Problems and the reason the line ended go to
// standard error as "virtualline: ...". Returns the exit status: 1 when the
// record file, the line or the program could not be made, or the line
// failed; otherwise the program's status (124 when it outlasted the time
// limit), or 0 without a program. Calling thread.
int runVirtualLine(const VirtualLineRequest& request, const std::function<void(VirtualLine*)>& publish);

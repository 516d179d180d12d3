// One unitsim run: the unit's state, its virtual line and link, served until
// a stop, the idle limit, a lost line or a power cut.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "sim/unit/UnitIdentity.h"
#include "sim/unit/VirtualUnit.h"

// What the unit is and how its line behaves, as the command line gave it.
struct UnitsimRequest {
    UnitIdentity identity;        // a new unit's; a resumed state brings its own
    UnitBehaviour behaviour;      // timings and faults, the idle limit included
    std::string linkPath;         // symbolic link to the host's device; empty: none
    std::string transcriptPath;   // empty: no transcript
    std::string stateDir;         // resume from and dump into; empty: neither
    std::string calibrationPath;  // factory calibration image; empty: generated
    bool noPacing = false;        // bytes arrive at once instead of at the unit's rate
    int latencyUs = 0;            // delay of every byte, both directions
    double noiseRate = 0;         // share of the bytes replaced, both directions
    unsigned noiseSeed = 1;       // the host-to-unit direction's; the other takes the next
};

// unitsim's exit statuses.
constexpr int kUnitsimOk = 0;
constexpr int kUnitsimError = 1;
constexpr int kUnitsimUsage = 2;       // a new unit's identity is unusable
constexpr int kUnitsimPowerCut = 3;    // the power-cut fault struck

// Builds, in this order, the unit's state (resumed from stateDir when it
// holds one, else a factory state), the virtual line, the unit's port on
// end B and its link at the unit's rate, and the transcript; prints the
// unit and the host's device on standard output ("device: PATH"), then
// calls serving() once (where a program installs the signal handlers that
// raise stop) and serves the console until stop, the idle limit, a lost
// line or a power cut. The state is dumped into stateDir at the end, or at
// the cut, after which the unit stays silent until stop. Problems go to
// standard error as "unitsim: ..."; returns the exit status. Calling thread;
// stop may be raised from any thread or a signal handler.
int runUnitsim(const UnitsimRequest& request, const std::atomic<bool>& stop,
               const std::function<void()>& serving);

// The upgrade's progress copied out of the shared record at one moment, for
// a display that polls it (the command line's frame, the wizard's panel),
// and the time left as text.
#pragma once

#include <string>

#include "engine/UpgradeState.h"

// What a progress display shows, copied from the shared record.
struct ProgressSnapshot {
    StepListView steps;
    std::string fileName;     // the transfer's file; "" (or "<None>") when none
    int block = 0;            // the transfer's next block
    unsigned bytes = 0;       // the transfer's bytes moved
    int fileSize = 0;         // the size of the file being sent (0 or 1: unknown)
    int overallPercent = 0;   // 0..100, the whole upgrade
    int secondsLeft = -1;     // the upgrade's estimated time left; -1 unknown
    std::string notice;       // a status worth showing (the port went away), or ""
};

// Copies the shared record: the step list under its lock, the transfer
// counters (0 and "" before a transfer exists), the atomics each read once.
// statusText shows as the notice only when it differs from staleStatus (the
// text left over from identification). Any thread; never blocks on the
// worker for long. The copy never refers back to the record, so the worker
// may go on writing while a display uses it.
ProgressSnapshot takeProgressSnapshot(const UpgradeState& state, const std::string& staleStatus = {});

// The time left as a person reads it: "about 2 min left" from a minute on
// (in whole minutes, rounded), "less than a minute left" below, and "" when
// secondsLeft is unknown (negative).
std::string timeLeftText(int secondsLeft);

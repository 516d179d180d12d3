// The check of a firmware set without a unit: which models, kinds and modes
// its control file has lists for, and whether the set holds every file and
// program those lists need.
#pragma once

#include <string>
#include <vector>

#include "engine/EngineEnv.h"
#include "engine/UpgradePlan.h"

// One main list of the set and what it lacks.
struct SectionCheck {
    int model = 0;      // 7355 (also serves 7300 and 7350) or 7410
    int unitKind = 0;   // UNIT_DISPLAY or UNIT_REMOTE
    int mode = 0;       // MODE_UPDATE_ONLY, MODE_REINSTALL or MODE_DOWNGRADE
    std::string section;       // the main list's name in control.upd
    bool calibration = false;  // a calibration list goes with it
    double version = 0;        // the version the set brings to the model
    Refusal problem = Refusal::None;  // None, BadSection or MissingFiles
    std::string badList;              // BadSection: the list that cannot be read whole
    std::vector<std::string> missing;  // MissingFiles: in the order the run needs them
    bool ok() const { return problem == Refusal::None; }
};

// The whole set.
struct SetCheck {
    bool readable = false;    // control.upd could be read
    bool hasVersion = false;  // control.upd holds its "Rev" field
    double version = 0;       // the version a unit below 2.0 reads
    double version2 = 0;      // the version a unit at 2.0 or above (a 7410) reads
    std::vector<SectionCheck> sections;  // the main lists present, by model, kind and mode
    // Readable, with a version, at least one list, and every list complete.
    bool complete() const;
};

// Checks the set in env.workDir. Every list is checked for the most its
// upgrade can need: the files of a unit at the oldest upgradable version,
// so a carry-over's converters and the cable tool count wherever the set's
// version crosses their thresholds. A downgrade's backup images belong to
// one unit and are not looked for. Reads files only; sends nothing.
SetCheck checkFirmwareSet(const EngineEnv& env);

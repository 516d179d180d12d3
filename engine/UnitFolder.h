// Each unit's working folder inside the firmware set: where its downloaded
// tables, the converters' outputs, its cable files, its resume log and its
// lock live, so that one set serves many units at once.
#pragma once

#include <string>
#include <vector>

#include "engine/EngineEnv.h"
#include "engine/UpgradePlan.h"

class WorkFilesLock;

// The folder of the set that holds the units' working folders.
constexpr const char* kUnitFoldersName = "units";

// True for the files a run writes while it works on one unit (the resume
// log, the downloaded regions, the converters' outputs, the cable files,
// the lock): EngineEnv::path puts them into the unit's folder. The set's
// own files and the backup images stay in the set.
bool isWorkingFile(const std::string& name);

// The folder of a unit with this serial number: <set>/units/<serial>.
std::string namedUnitFolder(const EngineEnv& env, const std::string& serial);

// Where a unit's working files are, found without creating or moving
// anything.
struct UnitFolderLook {
    // The folder whose resume log is this unit's, or the unit's own folder
    // (which may not exist yet); empty when a unit without a serial number
    // gets a new folder.
    std::string folder;
    // A unit without a serial number that may not take an unnamed unit's
    // unfinished carry-over (no resumeUnnamed) and may not start beside it
    // (no discardPending): the folder of that carry-over.
    std::string pendingFolder;
};

// With env.unitDir set, that folder. A named unit: its own folder, or the
// set folder itself when an older run left this unit's unfinished
// carry-over there. A unit without a serial number: with resumeUnnamed
// the newest unnamed folder (or the set folder) holding an unfinished
// carry-over; otherwise a new folder, and such a carry-over is pending
// unless env.discardPending says this is another unit.
UnitFolderLook lookUpUnitFolder(const EngineEnv& env, const std::string& serial);

// Makes the unit's folder (a new "NOSERIAL-run-N" for a unit without a
// serial number that does not resume), takes its lock, moves in the
// carry-over an older run left in the set folder for this unit, and sets
// env.unitDir to it (absolute). Refused with PendingOtherUnit as
// lookUpUnitFolder finds it, SetInUse when another run works on the same
// unit, UnreadableSet when the folder cannot be made, locked or filled.
PlanCheck claimUnitFolder(WorkFilesLock& lock, EngineEnv& env, const std::string& serial);

// An unfinished calibration carry-over in the set: the unit's tables may
// exist only on disk until that unit's next run finishes it.
struct PendingCarryOver {
    std::string folder;  // the folder relative to the set ("units/A01234567", or "." for an older run's)
    std::string serial;  // "" for a unit without a serial number
    std::string step;    // the last step it finished ("" before its first)
};

// Every unfinished carry-over in the set's unit folders, and one an older
// version left in the set folder itself, in folder-name order.
std::vector<PendingCarryOver> unfinishedCarryOvers(const EngineEnv& env);

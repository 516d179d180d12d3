// The checks an upgrade passes before its first byte goes to the unit: the
// set holds this unit's section and every file the run will send or start,
// the mode suits the unit, and a unit without a serial number does not pass
// an unnamed unit's unfinished carry-over unawares.
#pragma once

#include <string>
#include <vector>

#include "engine/EngineEnv.h"
#include "engine/UpgradeState.h"

// Why an upgrade is refused. Nothing has been sent to the unit then.
enum class Refusal : int {
    None = 0,
    NoSection,           // control.upd has no list for this model, kind and mode
    BadSection,          // a list cannot be read whole (a tenth entry, a stray "/" or "{")
    MissingFiles,        // files to send or programs to start are missing
    UpdateAcrossLayout,  // update only would leave the calibration tables unconverted
    PendingOtherUnit,    // an unnamed unit's carry-over is unfinished and this unit has no serial number
    NoSerialDowngrade,   // a unit without a serial number has no backup image of its own
    SetInUse,            // another run is working on this unit (its working folder is locked)
    UnreadableSet,       // the unit's working folder cannot be made, locked or read
};

// The status a run refused for this reason ends with: unitflash-cli's exit
// status (6 the set cannot upgrade the unit as asked, 7 update only across
// the layout change, 8 an unnamed unit's carry-over is pending, 9 another
// run works on this unit), which the upgrade history records for the wizard's refusals too.
constexpr int refusalStatus(Refusal refusal)
{
    switch (refusal) {
    case Refusal::UpdateAcrossLayout:
        return 7;
    case Refusal::PendingOtherUnit:
        return 8;
    case Refusal::SetInUse:
        return 9;
    case Refusal::None:
    case Refusal::NoSection:
    case Refusal::BadSection:
    case Refusal::MissingFiles:
    case Refusal::NoSerialDowngrade:
    case Refusal::UnreadableSet:
        break;
    }
    return 6;
}

struct PlanCheck {
    Refusal refusal = Refusal::None;
    std::string text;  // what a person reads: the cause, the unit, the files
    std::vector<std::string> missing;
    // PendingOtherUnit: the pending log names no serial number.
    bool pendingUnnamed = false;
    bool ok() const { return refusal == Refusal::None; }
};

// The lowest unit version this loader upgrades; older units go to customer
// service.
constexpr double kMinimumUnitVersion = 1.09;

// The calibration threshold of a model: the first version with the new
// table layout (1.222, or 2.014 for the 7410).
double calibrationThreshold(int model);

class ResumeLog;

// The refusal text for an unnamed unit's unfinished carry-over (its log, in
// folder) that a unit without a serial number may not silently pass.
std::string pendingCarryOverText(const ResumeLog& log, const std::string& folder);

// True when the log is this unit's: non-empty and of its serial number. A
// unit without a serial number owns a log without one only when
// env.resumeUnnamed says so.
bool logIsThisUnits(const ResumeLog& log, const std::string& serial, const EngineEnv& env);

// The unit's version before this upgrade: the version its resume log
// recorded when the log is this unit's, else the version it reports. A run
// stopped after the new kernel went in still sees the old version.
double versionBeforeUpgrade(const UpgradeState& state, const EngineEnv& env);

// A file an upgrade sends, or a program it starts.
struct NeededFile {
    std::string name;
    bool program = false;  // present means runnable, not only readable
};

// What the lists of one upgrade need from the set.
struct SectionNeeds {
    std::string mainName;     // "7355NE", "REL7355NE", "DWN7410FE"
    std::string calName;      // "CAL" + mainName
    bool calibration = false;  // the set holds calName: the calibration phase runs first
    std::string badList;      // the list that cannot be read whole (BadSection)
    std::vector<NeededFile> files;  // in the order the run uses them; may repeat
};

// Reads the lists an upgrade in mode of a unit (model 7355 or 7410, kind)
// from before to newVersion uses out of the control text, and names the
// files they send and the programs the calibration carry-over and the cable
// database start. The downgrade's backup images, which belong to one unit,
// are not among them. Returns NoSection when the main list is missing,
// BadSection when a list cannot be read whole (needs.badList), else None.
Refusal sectionNeeds(const std::string& text, int model, int unitKind, int mode, double before, double newVersion,
                     SectionNeeds& needs);

// The names of the needed files that are missing (or, for programs, not
// runnable) in env's folder, in the order given, each once.
std::vector<std::string> missingFiles(const std::vector<NeededFile>& files, const EngineEnv& env);

// Checks the identified unit in state (model, kind, serial number, versions)
// and state.mode against the firmware set in env.workDir and the unit's
// resume log (lookUpUnitFolder). Sends nothing and changes no file. With
// env.discardPending an unnamed unit's carry-over does not refuse a unit
// without a serial number (the run works beside it).
PlanCheck checkUpgradePlan(const UpgradeState& state, const EngineEnv& env);
// The same check for an upgrade in mode instead of state.mode: what a
// choice would meet, before it is made.
PlanCheck checkUpgradePlan(const UpgradeState& state, const EngineEnv& env, int mode);

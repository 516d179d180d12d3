// What an upgrade checks before it sends anything to the unit.
#include "engine/UpgradePlan.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "engine/CalibrationSteps.h"
#include "engine/ControlFile.h"
#include "engine/ResumeLog.h"
#include "engine/UnitFolder.h"
#include "engine/UpgradeSession.h"

namespace {

bool holds(const std::string& text, const char* what)
{
    return text.find(what) != std::string::npos;
}

bool isCalibrationStep(const std::string& entry)
{
    return entry == "GETCAL" || entry == "CONVERTCAL" || entry == "PUTCAL" || entry == "CUSTOMCAB";
}

std::string unitName(const UpgradeState& state)
{
    const char* kind = state.unitKind == UNIT_DISPLAY ? "Display Handset" : "Remote Handset";
    return std::to_string(state.model.load()) + " " + kind;
}

std::string versionText(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%5.3f", v);
    return text;
}

// The entries of one section; false when the section cannot be read whole.
bool readList(const std::string& text, const std::string& name, StepListView& view)
{
    StepList list;
    int parseError = 0;
    parseSection(text, findSection(text, name), list, parseError);
    view = list.snapshot();
    return parseError == 0;
}

// The unit's resume log, where lookUpUnitFolder finds it; empty when there
// is none.
ResumeLog loadLog(const EngineEnv& env, const std::string& serial)
{
    const std::string folder = lookUpUnitFolder(env, serial).folder;
    ResumeLog log(folder.empty() ? std::string() : folder + "/" + kResumeLogName);
    if (folder.empty() || !log.load())
        log = ResumeLog(std::string());
    return log;
}

}  // namespace

std::string pendingCarryOverText(const ResumeLog& log, const std::string& folder)
{
    const std::string owner = log.serial();
    const std::string who = owner.empty() ? std::string("a unit without a serial number") : "the unit SN " + owner;
    std::string step = "before its first step";
    for (int i = 0; !log.record(i).empty(); ++i)
        step = "after " + log.record(i);
    std::error_code ec;
    std::filesystem::path where = std::filesystem::absolute(folder, ec).lexically_normal();
    if (!where.has_filename())
        where = where.parent_path();  // "/set/." normalises to "/set/"
    return "The firmware set holds an unfinished calibration carry-over of " + who + " (stopped " + step + ", in \""
           + (ec ? folder : where.string()) + "\"). A unit without a serial number cannot be told apart from it: resume it if this is that"
           " unit, or upgrade this unit beside it (that carry-over is kept as it is). Nothing was sent to this unit.";
}

bool logIsThisUnits(const ResumeLog& log, const std::string& serial, const EngineEnv& env)
{
    if (log.length() == 0 || !log.sameUnit(serial))
        return false;
    return !serial.empty() || env.resumeUnnamed;
}

double calibrationThreshold(int model)
{
    return model == 7410 ? 2.014 : 1.222;
}

namespace {

// The version before the upgrade, from a log already read.
double versionBefore(const ResumeLog& log, const UpgradeState& state, const EngineEnv& env)
{
    if (logIsThisUnits(log, state.serialNumber(), env) && log.length() >= ResumeLog::kHeaderSize)
        return log.recordedVersion();
    return state.unitVersion;
}

}  // namespace

double versionBeforeUpgrade(const UpgradeState& state, const EngineEnv& env)
{
    return versionBefore(loadLog(env, state.serialNumber()), state, env);
}

PlanCheck checkUpgradePlan(const UpgradeState& state, const EngineEnv& env)
{
    return checkUpgradePlan(state, env, state.mode);
}

PlanCheck checkUpgradePlan(const UpgradeState& state, const EngineEnv& env, int mode)
{
    PlanCheck check;
    const int model = state.model == 7300 || state.model == 7350 ? 7355 : state.model.load();
    const std::string serial = state.serialNumber();

    const ResumeLog log = loadLog(env, serial);
    const double before = versionBefore(log, state, env);
    const double threshold = calibrationThreshold(model);
    const bool layoutChange = before < threshold && state.controlVersion >= threshold;
    if (mode == MODE_UPDATE_ONLY && layoutChange) {
        check.refusal = Refusal::UpdateAcrossLayout;
        check.text = "Update only cannot take this unit from " + versionText(before) + " to "
                     + versionText(state.controlVersion) + ": the calibration tables change their layout at "
                     + versionText(threshold) + " and only a reinstall carries them across. Nothing was sent.";
        return check;
    }
    if (mode == MODE_DOWNGRADE && serial.empty()) {
        check.refusal = Refusal::NoSerialDowngrade;
        check.text = "The unit reported no serial number, so no backup image in the set can be known to be its"
                     " own; a downgrade would put another unit's calibration into it. Nothing was sent.";
        return check;
    }

    std::vector<NeededFile> files;
    std::string text;
    if (!readControlText(env.path(kControlFileName), kUpgradeReadLimit, text)) {
        check.refusal = Refusal::MissingFiles;
        check.missing.push_back(kControlFileName);
    } else {
        SectionNeeds needs;
        switch (sectionNeeds(text, model, state.unitKind, mode, before, state.controlVersion, needs)) {
        case Refusal::NoSection:
            check.refusal = Refusal::NoSection;
            check.text = "The firmware set has no list for the " + unitName(state) + " (\"" + needs.mainName
                         + "\" is missing in control.upd): this set cannot upgrade this unit. Nothing was sent.";
            return check;
        case Refusal::BadSection:
            check.refusal = Refusal::BadSection;
            check.text = "The list \"" + needs.badList + "\" in control.upd cannot be read whole: it has more than"
                         " 9 entries, or a \"{\", \"}\" or \"/\" out of place. Nothing was sent to the unit.";
            return check;
        default:
            files = std::move(needs.files);
            break;
        }
    }
    if (mode == MODE_DOWNGRADE) {
        files.push_back({backupImageName(serial)});
        if (state.unitKind == UNIT_DISPLAY)
            files.push_back({secondImageName(serial)});
    }
    for (const std::string& name : missingFiles(files, env))
        if (std::find(check.missing.begin(), check.missing.end(), name) == check.missing.end())
            check.missing.push_back(name);
    if (!check.missing.empty()) {
        check.refusal = Refusal::MissingFiles;
        check.text = "The firmware set lacks files this upgrade of the " + unitName(state) + " needs:";
        for (const std::string& name : check.missing)
            check.text += "\n  " + name;
        check.text += "\n(\"" + (env.workDir.empty() ? std::string(".") : env.workDir)
                      + "\"; programs must be executable). Nothing was sent to the unit.";
        return check;
    }
    // Last: a question only a person can answer is asked only of a run that
    // could otherwise go ahead.
    if (const UnitFolderLook look = lookUpUnitFolder(env, serial); !look.pendingFolder.empty()) {
        ResumeLog pending(look.pendingFolder + "/" + kResumeLogName);
        pending.load();
        check.refusal = Refusal::PendingOtherUnit;
        check.text = pendingCarryOverText(pending, look.pendingFolder);
        check.pendingUnnamed = true;
    }
    return check;
}

Refusal sectionNeeds(const std::string& text, int model, int unitKind, int mode, double before, double newVersion,
                     SectionNeeds& needs)
{
    needs.mainName = mainSectionName(sectionKey(model, unitKind), mode);
    needs.calName = calibrationSectionName(needs.mainName);
    if (findSection(text, needs.mainName) <= 0)
        return Refusal::NoSection;
    StepListView list;
    needs.calibration = findSection(text, needs.calName) > 0;
    if (needs.calibration) {
        if (!readList(text, needs.calName, list)) {
            needs.badList = needs.calName;
            return Refusal::BadSection;
        }
        const std::string first = list.slots[0].name;
        if (list.slots[0].present != 0 && !isCalibrationStep(first) && !holds(first, "REBOOT"))
            needs.files.push_back({first});
        const double threshold = calibrationThreshold(model);
        const bool layoutChange = before < threshold && newVersion >= threshold;
        const bool cables = unitKind == UNIT_DISPLAY
                            && (model != 7410 ? newVersion >= 1.312 && before < 1.312
                                              : newVersion >= 2.122 && before < 2.014);
        const bool carryOver = mode != MODE_UPDATE_ONLY && layoutChange;
        if (carryOver && model != 7410)
            needs.files.push_back({toolFileName("Kcnv"), true});
        if (carryOver)
            needs.files.push_back({toolFileName("Lcnv"), true});
        if (carryOver || cables)
            needs.files.push_back({toolFileName("header"), true});
        if (carryOver)
            needs.files.push_back({clearingImageName(model, unitKind)});
    }
    if (!readList(text, needs.mainName, list)) {
        needs.badList = needs.mainName;
        return Refusal::BadSection;
    }
    for (int i = 0; i < list.count(); ++i) {
        const std::string& entry = list.slots[static_cast<std::size_t>(i)].name;
        if (!holds(entry, "REBOOT") && !holds(entry, "NOTHING") && !(holds(entry, "KERNEL") && needs.calibration))
            needs.files.push_back({entry});
    }
    return Refusal::None;
}

std::vector<std::string> missingFiles(const std::vector<NeededFile>& files, const EngineEnv& env)
{
    std::vector<std::string> missing;
    for (const NeededFile& file : files) {
        const std::string path = env.path(file.name);
        const bool present = file.program ? toolRunnable(path) : fileReadable(path);
        if (!present && std::find(missing.begin(), missing.end(), file.name) == missing.end())
            missing.push_back(file.name);
    }
    return missing;
}

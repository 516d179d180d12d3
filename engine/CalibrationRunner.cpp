// The calibration section runner and its resume log.
#include "engine/CalibrationRunner.h"

#include <filesystem>

#include "engine/CalibrationSteps.h"
#include "engine/ControlFile.h"
#include "engine/ResumeLog.h"
#include "engine/UpgradeSession.h"
#include "engine/UpgradePlan.h"
#include "engine/UpgradeProgress.h"
#include "transfer/XmodemTransfer.h"

namespace {

bool logFailure(UpgradeSession& s, const char* what)
{
    return s.fail("The resume log \"" + std::string(kResumeLogName) + "\" cannot be " + what + ".");
}

// The runner's position in its list and what it needs at every step.
struct Run {
    UpgradeSession& s;
    ResumeLog log;
    std::shared_ptr<StepList> steps;
    int k = 0;

    void finish(int slot)
    {
        steps->setDone(slot, 1);
    }
    bool record(const char* keyword)
    {
        return log.append(keyword)
               || logFailure(s, "written");
    }
};

bool isCalibrationKeyword(const std::string& entry)
{
    return entry == "GETCAL" || entry == "CONVERTCAL" || entry == "PUTCAL";
}

// Reads the log in the unit's folder: takes over the recorded version, or
// starts a new log. False (failure recorded) when the log cannot be
// written or belongs to another unit.
bool checkLog(Run& r)
{
    const std::string serial = r.s.state.serialNumber();
    if (!r.log.load())
        return logFailure(r.s, "read");
    if (logIsThisUnits(r.log, serial, r.s.env)) {
        if (r.log.length() >= ResumeLog::kHeaderSize)
            r.s.state.unitVersion = r.log.recordedVersion();
        // Nothing has been sent yet: find out now whether the log can be
        // written, not after the unit's tables have changed.
        return r.log.rewrite() || logFailure(r.s, "written");
    }
    // The unit's own folder never holds another unit's log unless someone
    // put it there; its tables may exist nowhere else, so it is kept.
    if (r.log.length() != 0)
        return r.s.fail("The unit's working folder \"" + r.s.env.folderOf(kResumeLogName)
                        + "\" holds the unfinished carry-over of another unit (" + r.log.serial()
                        + "); it is left as it is. Nothing was sent.");
    return r.log.writeHeader(serial, r.s.state.unitVersion)
           || logFailure(r.s, "written");
}

// Skips the steps the log records as finished.
void resume(Run& r)
{
    const int count = resumedSteps(r.log, calibrationRegionOnDisk(r.s));
    for (int i = 0; i < count; ++i)
        r.steps->clearSlot(r.k + i);
    r.k += count;
}

bool installKernel(Run& r)
{
    UpgradeSession& s = r.s;
    const std::string kernel = r.steps->name(0);
    s.console.readReply(kReplyNormal);
    if (!s.console.waitPromptIdn(2000))
        return false;
    XmodemTransfer transfer(&s.link, &s.status);
    int result = s.upload(transfer, kernel);
    if (result == kUploadNoFile || !s.console.pause(3000))
        return false;
    if (result != 0) {
        // Refused or lost: offered again until the unit takes it, as the
        // files of the main list are. "KERNEL" is recorded only then, so a
        // later run never skips a kernel that did not arrive.
        s.console.readReply(kReplyNormal);
        if (!s.console.waitPromptIdn(2000))
            return false;
        if (s.uploadUntilTaken(transfer, kernel, result) != 0 || !s.console.pause(3000))
            return false;
    }
    r.finish(r.k++);
    s.console.readReply(kReplyNormal);
    if (!s.console.waitPromptIdn(2000))
        return false;
    return r.record("KERNEL");
}

bool restart(Run& r)
{
    UpgradeSession& s = r.s;
    s.console.sendCommand("\n");
    s.console.sendCommand("boot\n");
    if (!s.console.pause(20000))
        return false;
    s.console.readReply(kReplyNormal);
    if (!s.console.waitPromptIdn(2000))
        return false;
    r.finish(r.k++);
    return r.record("REBOOT");
}

// The calibration entries from slot k on. False when a step gave up.
bool carryOver(Run& r)
{
    UpgradeSession& s = r.s;
    for (; r.steps->present(r.k); ++r.k) {
        const std::string entry = r.steps->name(r.k);
        if (entry == "GETCAL") {
            if (getCalibration(s) == 0)
                return false;
            // A region downloaded again on resume is already recorded.
            if (!r.log.hasRecord("GETCAL") && !r.record("GETCAL"))
                return false;
        } else if (entry == "CONVERTCAL") {
            if (!convertCalibration(s))
                return false;
        } else if (entry == "PUTCAL") {
            if (putCalibration(s) == 0 || !r.record("PUTCAL"))
                return false;
        }
        if (s.stopped())
            return false;
        r.finish(r.k);
        s.progress.finished(WorkPart::CalibrationStep, r.k);
    }
    return true;
}

}  // namespace

int resumedSteps(const ResumeLog& log, bool regionOnDisk)
{
    int count = 0;
    if (log.record(0) == "KERNEL")
        ++count;
    if (log.record(1) == "REBOOT")
        ++count;
    const bool downloaded = log.record(2) == "GETCAL";
    const bool uploaded = log.record(3) == "PUTCAL";
    if (downloaded && uploaded) {
        count += 2;
    } else if (downloaded) {
        // The log cannot tell whether the conversion finished, and converter
        // outputs on disk may be stale: convert the downloaded region again
        // (conversion is deterministic), or download it again when it is
        // missing or cut short. The unit's tables are unchanged until PUTCAL.
        if (regionOnDisk)
            ++count;
    }
    if (uploaded)
        count += 2;
    return count;
}

bool cableStepDue(int model, double versionBefore, double newVersion)
{
    if (model != 7410)
        return newVersion >= 1.312 && versionBefore < 1.312;
    return newVersion >= 2.122 && versionBefore < 2.014;
}

bool calibrationDue(int mode, int model, double versionBefore, double controlVersion)
{
    if (mode == MODE_UPDATE_ONLY)
        return false;
    const double t = calibrationThreshold(model);
    return versionBefore < t && controlVersion >= t;
}

int runCalibrationSection(UpgradeSession& s, const std::string& text, const std::string& sectionName)
{
    s.status.setFileName("");
    s.status.bytesDone = 0;
    s.status.blockNumber = 0;
    Run r{s, ResumeLog(s.env.path(kResumeLogName)), s.state.steps()};
    if (!checkLog(r))
        return 0;
    int parseError = 0;
    parseSection(text, findSection(text, sectionName), *r.steps, parseError);
    if (parseError)
        s.state.raiseError();
    s.state.listReady = 1;
    s.state.listShown = 0;
    resume(r);

    const std::string first = r.steps->name(0);
    if (r.steps->present(0) && !isCalibrationKeyword(first)) {
        if (!installKernel(r))
            return 0;
        s.progress.finished(WorkPart::Kernel);
    }
    s.status.setFileName("");
    if (!s.console.pause(2000))
        return 0;
    s.console.readReply(kReplyNormal);
    if (!s.console.waitPromptIdn(2000))
        return 0;
    if (r.steps->name(r.k) == "REBOOT" && r.steps->present(r.k) && !restart(r))
        return 0;

    // The cable and calibration steps are decided on the version the new
    // kernel reports; a reply without one is asked again, never guessed.
    double newVersion = 0;
    if (!s.queryVersion(2000, newVersion)) {
        s.fail("The unit did not report its version after its new kernel started.");
        return 0;
    }
    s.progress.finished(WorkPart::Restart);
    const UpgradeState& state = s.state;
    if (cableStepDue(state.model, state.unitVersion, newVersion)) {
        if (!saveCustomCables(s))
            return 0;
        s.progress.finished(WorkPart::Cables);
    }
    s.status.setFileName("");

    if (calibrationDue(state.mode, state.model, state.unitVersion, state.controlVersion) && !carryOver(r))
        return 0;
    if (s.stopped())
        return 0;
    if (!r.log.clear()) {
        logFailure(s, "emptied");
        return 0;
    }
    return 1;
}

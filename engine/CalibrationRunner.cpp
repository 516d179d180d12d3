// The calibration section runner and its resume log.
#include "engine/CalibrationRunner.h"

#include "engine/CalibrationSteps.h"
#include "engine/ControlFile.h"
#include "engine/ResumeLog.h"
#include "engine/UpgradeSession.h"
#include "engine/VersionText.h"
#include "transfer/XmodemTransfer.h"

namespace {

// The runner's position in its list and what it needs at every step.
struct Run {
    UpgradeSession& s;
    ResumeLog log;
    std::shared_ptr<StepList> steps;
    int n = 0;
    int k = 0;

    void percent()
    {
        // An empty section finishes nothing: no division by its zero entries.
        s.state.overallPercent = n > 0 ? (100 / n) * (k + 1) : 0;
    }
    void finish(int slot)
    {
        steps->setDone(slot, 1);
    }
    bool record(const char* keyword)
    {
        if (log.append(keyword))
            return true;
        s.state.raiseError();
        return false;
    }
};

bool isCalibrationKeyword(const std::string& entry)
{
    return entry == "GETCAL" || entry == "CONVERTCAL" || entry == "PUTCAL";
}

// Reads the log for this unit: takes over the recorded version, or empties
// a log left by another unit. False when the log cannot be written.
bool checkLog(Run& r)
{
    const std::string serial = r.s.state.serialNumber();
    if (!r.log.load())
        return false;
    if (r.log.length() != 0 && r.log.sameUnit(serial)) {
        if (r.log.length() >= ResumeLog::kHeaderSize)
            r.s.state.unitVersion = r.log.recordedVersion();
        // Nothing has been sent yet: find out now whether the log can be
        // written, not after the unit's tables have changed.
        return r.log.rewrite();
    }
    if (r.log.length() != 0 && !r.log.clear())
        return false;
    return r.log.writeHeader(serial, r.s.state.unitVersion);
}

// Skips the steps the log records as finished.
void resume(Run& r)
{
    const ResumeLog& log = r.log;
    auto skip = [&](int count) {
        for (int i = 0; i < count; ++i)
            r.steps->clearSlot(r.k + i);
        r.k += count;
    };
    if (log.record(0) == "KERNEL")
        skip(1);
    if (log.record(1) == "REBOOT")
        skip(1);
    const bool downloaded = log.record(2) == "GETCAL";
    const bool uploaded = log.record(3) == "PUTCAL";
    if (downloaded && uploaded) {
        skip(2);
    } else if (downloaded) {
        // The log cannot tell whether the conversion finished, and converter
        // outputs on disk may be stale: convert the downloaded region again
        // (conversion is deterministic), or download it again when it is
        // missing or cut short. The unit's tables are unchanged until PUTCAL.
        if (calibrationRegionOnDisk(r.s))
            skip(1);
    }
    if (uploaded)
        skip(2);
}

bool installKernel(Run& r)
{
    UpgradeSession& s = r.s;
    const std::string kernel = r.steps->name(0);
    s.console.readReply(kReplyNormal);
    if (!s.console.waitPromptIdn(2000))
        return false;
    XmodemTransfer transfer(&s.link, &s.status);
    const int result = s.upload(transfer, kernel);
    if (result == kUploadNoFile || !s.console.pause(3000))
        return false;
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

bool cableStepDue(const UpgradeState& state, double newVersion)
{
    const double v = state.unitVersion;
    if (state.model != 7410)
        return newVersion >= 1.312 && v < 1.312;
    return newVersion >= 2.122 && v < 2.014;
}

bool calibrationDue(const UpgradeState& state)
{
    if (state.mode == MODE_UPDATE_ONLY)
        return false;
    const double t = state.model != 7410 ? 1.222 : 2.014;
    return state.unitVersion < t && state.controlVersion >= t;
}

// The calibration entries from slot k on. False when a step gave up.
bool carryOver(Run& r)
{
    UpgradeSession& s = r.s;
    r.percent();
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
        r.percent();
    }
    return true;
}

}  // namespace

int runCalibrationSection(UpgradeSession& s, const std::string& text, const std::string& sectionName)
{
    s.status.setFileName("");
    s.status.bytesDone = 0;
    s.status.blockNumber = 0;
    Run r{s, ResumeLog(s.env.path(kResumeLogName)), s.state.steps()};
    if (!checkLog(r)) {
        s.state.raiseError();
        return 0;
    }
    int parseError = 0;
    r.n = parseSection(text, findSection(text, sectionName), *r.steps, parseError);
    if (parseError)
        s.state.raiseError();
    s.state.listReady = 1;
    s.state.listShown = 0;
    resume(r);

    const std::string first = r.steps->name(0);
    if (r.steps->present(0) && !isCalibrationKeyword(first) && !installKernel(r))
        return 0;
    s.status.setFileName("");
    if (!s.console.pause(2000))
        return 0;
    s.console.readReply(kReplyNormal);
    if (!s.console.waitPromptIdn(2000))
        return 0;
    if (r.steps->name(r.k) == "REBOOT" && r.steps->present(r.k) && !restart(r))
        return 0;

    s.console.sendCommand("idn? k\n");
    if (!s.console.pause(2000))
        return 0;
    double newVersion = 0;
    parseVersion(s.console.readReply(kReplyNormal), newVersion);
    if (cableStepDue(s.state, newVersion) && !saveCustomCables(s))
        return 0;
    s.status.setFileName("");

    if (calibrationDue(s.state) && !carryOver(r))
        return 0;
    if (s.stopped())
        return 0;
    if (!r.log.clear()) {
        s.state.raiseError();
        return 0;
    }
    return 1;
}

// The upgrade worker: calibration phase, downgrade phase, main list, final
// version and restart of one identified unit.
#include <memory>

#include "comlink/CommLink.h"
#include "comlink/PortSettings.h"
#include "engine/CalibrationRunner.h"
#include "engine/CalibrationSteps.h"
#include "engine/ControlFile.h"
#include "engine/ReopeningPort.h"
#include "engine/UnitFolder.h"
#include "engine/UpgradePlan.h"
#include "engine/UpgradeProgress.h"
#include "engine/UpgradeSession.h"
#include "engine/WorkFilesLock.h"
#include "engine/Workers.h"
#include "transfer/FileEngine.h"
#include "transfer/XmodemTransfer.h"

namespace {

constexpr int kUpgradeQueueSize = 16384;

bool holds(const std::string& text, const char* what)
{
    return text.find(what) != std::string::npos;
}

// Sends one main-list file until the unit takes it. False when the file
// cannot be opened (failure recorded) or a stop was requested.
bool uploadMainFile(UpgradeSession& s, XmodemTransfer& transfer, const std::string& name)
{
    ConsoleSession& c = s.console;
    c.readReply(kReplyDrain);
    const int result = s.upload(transfer, name);
    if (result == kUploadNoFile || !c.pause(1000))
        return false;
    c.readReply(kReplyNormal);
    if (!c.waitPromptIdn(2000))
        return false;
    // The unit may refuse or lose a transfer; it is offered again, without
    // limit, until it goes through.
    if (s.uploadUntilTaken(transfer, name, result) != 0)
        return false;
    c.readReply(kReplyNormal);
    return c.waitPromptIdn(2000) && c.pause(1000);
}

// Works the main section's list. False on failure or stop.
bool workMainList(UpgradeSession& s, XmodemTransfer& transfer, bool calibrationDone)
{
    std::shared_ptr<StepList> steps = s.state.steps();
    ConsoleSession& c = s.console;
    for (int i = 0; steps->present(i) && !steps->done(i); ++i) {
        c.readReply(kReplyNormal);
        if (!c.waitPromptIdn(2000))
            return false;
        const std::string entry = steps->name(i);
        if (holds(entry, "REBOOT")) {
            c.readReply(kReplyShort);
            c.sendCommand("boot\n");
            if (!c.pause(10000))
                return false;
            c.readReply(kReplyShort);
            if (!c.waitPromptIdn(2000))
                return false;
        } else if (holds(entry, "NOTHING")) {
        } else if (holds(entry, "KERNEL") && calibrationDone) {
            // The calibration phase has installed the kernel image.
        } else if (!uploadMainFile(s, transfer, entry)) {
            return false;
        }
        steps->setDone(i, 1);
        s.progress.finished(WorkPart::MainStep, i);
    }
    return true;
}

// Final version, restart and report.
bool close(UpgradeSession& s)
{
    ConsoleSession& c = s.console;
    // The completion text names this version: it is read from the unit or
    // the run fails, never shown from a guess.
    double version = 0;
    if (!s.queryVersion(0, version))
        return s.fail("The unit did not report its version after the last file; its new firmware may not have"
                      " started. Run the upgrade again.");
    s.state.finalVersion = version;
    s.progress.complete();
    c.readReply(kReplyNormal);
    if (!c.waitPromptIdn(3000))
        return false;
    c.sendCommand("reboot\n");
    if (!c.pause(3000))
        return false;
    c.sendCommand("reboot\n");
    s.status.setFileName("");
    if (s.env.notifier != nullptr)
        s.env.notifier->post(WM_UPGRADE_DONE, 1);
    return true;
}

UpgradeOutcome failed(UpgradeSession& s)
{
    if (s.stopped())
        return UpgradeOutcome::Stopped;
    if (!s.state.errorFlag)
        s.state.raiseError();
    return UpgradeOutcome::Failed;
}

UpgradeOutcome refused(UpgradeState& state, const PlanCheck& plan)
{
    state.refusal = static_cast<int>(plan.refusal);
    state.setFailureText(plan.text);
    state.raiseError();
    return UpgradeOutcome::Refused;
}

UpgradeOutcome work(UpgradeSession& s, XmodemTransfer& transfer)
{
    UpgradeState& state = s.state;
    if (state.model == 7300 || state.model == 7350)
        state.model = 7355;
    // Everything the run needs is looked at before anything is sent: a run
    // that would stop half-way, or carry the wrong tables, never begins.
    const PlanCheck plan = checkUpgradePlan(state, s.env);
    if (!plan.ok())
        return refused(state, plan);
    std::string text;
    if (!readControlText(s.env.path(state.controlFileName()), kUpgradeReadLimit, text))
        return failed(s);
    s.progress.start(estimateUpgrade(s, text));
    const std::string mainName = mainSectionName(sectionKey(state.model, state.unitKind), state.mode);
    const std::string calName = calibrationSectionName(mainName);

    bool calibrationDone = false;
    if (findSection(text, calName) > 0) {
        // A calibration phase that gave up must not go on into the main
        // list: that list would still hold the calibration entries.
        if (runCalibrationSection(s, text, calName) == 0)
            return failed(s);
        state.replaceSteps();
        calibrationDone = true;
    }
    if (state.mode == MODE_DOWNGRADE) {
        if (restoreBackup(s) == 0)
            return failed(s);
        s.progress.finished(WorkPart::Downgrade);
        state.replaceSteps();
    }
    const int at = findSection(text, mainName);
    if (!text.empty() && at > 0) {
        int parseError = 0;
        parseSection(text, at, *state.steps(), parseError);
        if (parseError)
            state.raiseError();
    }
    s.status.setFileName("");
    s.status.bytesDone = 0;
    s.status.blockNumber = 0;
    state.currentFileSize = 1;
    state.listReady = 1;
    state.listShown = 0;
    if (!workMainList(s, transfer, calibrationDone))
        return failed(s);
    if (!close(s))
        return failed(s);
    return UpgradeOutcome::Done;
}

}  // namespace

UpgradeOutcome runUpgrade(UpgradeState& state, const EngineEnv& frontEnv)
{
    state.replaceSteps();
    state.setFailureText("");
    state.refusal = 0;
    state.secondsLeft = -1;
    // The unit's resume log, downloaded tables and converter outputs are
    // this run's own, in the unit's folder, until it ends; a front end that
    // has not claimed the folder leaves that to the run.
    EngineEnv env = frontEnv;
    WorkFilesLock lock;
    if (env.unitDir.empty()) {
        // A refused run changes no file: checked before the folder is made.
        if (const PlanCheck plan = checkUpgradePlan(state, env); !plan.ok())
            return refused(state, plan);
        if (const PlanCheck claimed = claimUnitFolder(lock, env, state.serialNumber()); !claimed.ok())
            return refused(state, claimed);
    }
    const PortOpener open = env.openPort ? env.openPort : platformPortOpener();
    ReopeningPort port(open, state.portIndex, kUpgradeQueueSize, kUpgradeQueueSize);
    UpgradeOutcome outcome;
    UpgradeProgress progress(state, env.clockRef());
    {
        CommLink link(&port, env.clock);
        PortSettings settings(&link);
        auto status = std::make_shared<EngineTransferStatus>(env, progress);
        state.setTransferStatus(status);
        std::unique_ptr<FileEngine> files = createFileEngine();
        {
            XmodemTransfer transfer(&link, status.get());
            settings.setBaudRate(state.baudRate);
            ConsoleSession console(link, env, state, &port);
            console.setProgress(&progress);
            UpgradeSession session{state, env, link, console, *status, *files, progress};
            outcome = work(session, transfer);
        }
        settings.restore();
    }
    // A run that did not finish has no time left to tell.
    if (outcome != UpgradeOutcome::Done)
        state.secondsLeft = -1;
    return outcome;
}

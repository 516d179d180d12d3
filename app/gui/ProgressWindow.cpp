// The main window's flow: wizard runs, version gate, upgrade worker, timer
// duties, completion, failure and restart.
#include "app/gui/ProgressWindow.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/gui/AboutDialog.h"
#include "app/gui/IntroPage.h"
#include "app/gui/LibraryErrorBox.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/PortPage.h"
#include "app/gui/ProgressPanel.h"
#include "app/gui/Resources.h"
#include "app/gui/TextDialogs.h"
#include "app/gui/UpgradeWizard.h"
#include "app/gui/WorkerNotifier.h"
#include "comlink/PortNames.h"
#include "engine/UpgradePlan.h"
#include "history/HistoryRecording.h"

namespace {

constexpr int kTickMs = 100;

}  // namespace

ProgressWindow::ProgressWindow(UpgradeState& state, const GuiEnvironment& env)
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      state(state), env(env), queue(env.runner())
{
    setWindowTitle(tr("Upgrade Utility "));
    setWindowIcon(res::icon(res::Icon::Unit));
    auto* layout = new QVBoxLayout(this);
    progress = new ProgressPanel;
    layout->addWidget(progress, 1);
    exit = new QPushButton(tr("Exit"));
    exit->setDefault(true);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(exit, 0, Qt::AlignHCenter);
    // The About entry: the window's context menu, and F1.
    auto* about = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(about, &QShortcut::activated, this, &ProgressWindow::showAbout);
    sheet = std::make_unique<UpgradeWizard>(state, env);
    connect(sheet.get(), &QDialog::finished, this, &ProgressWindow::wizardFinished);
    timer.setInterval(kTickMs);
    connect(&timer, &QTimer::timeout, this, &ProgressWindow::tick);
}

ProgressWindow::~ProgressWindow()
{
    timer.stop();
    worker.requestStop();
    waitForWorker(worker);
    recordRun();
}

void ProgressWindow::start()
{
    state.unitKind = UNIT_UNKNOWN;
    state.model = 0;
    state.listReady = 0;
    state.listShown = 0;
    progress->reset();
    state.overallPercent = 0;
    // The timer also runs while the wizard is open, so a missing-files box
    // can come up over it.
    timer.start();
    restartRequested = false;
    askOther = false;
    state.portIndex = 0;
    state.errorFlag = 0;
    runWizard();
}

void ProgressWindow::runWizard()
{
    exit->setEnabled(false);
    sheet->portPage().setRefillList();
    sheet->introPage().setVersionLine(res::loaderVersion());
    sheet->runModeless();
}

void ProgressWindow::wizardFinished(int result)
{
    if (result != QDialog::Accepted) {
        sheet->search().stopAndWait();
        accept();
        return;
    }
    // Below 1.09, or a version that could not be read (0): Technical Support.
    if (state.unitVersion < kMinimumUnitVersion) {
        auto* dialog = new TechSupportDialog(this);
        dialog->setText(res::techSupportText());
        queue.enqueue(dialog, [this](int) { accept(); });
        return;
    }
    if (state.mode == MODE_NEWER_UNIT) {
        queue.enqueue(new VersionWarningDialog(this), [this](int) { accept(); });
        return;
    }
    // Only the technician can tell whether a unit without a serial number
    // is the one whose carry-over is unfinished; the engine refuses the run
    // until that is said.
    const PlanCheck plan = checkUpgradePlan(state, env.engineEnv(nullptr, nullptr, nullptr));
    if (plan.refusal == Refusal::PendingOtherUnit) {
        queue.enqueue(MessageBoxes::unnamedCarryOver(this, QString::fromStdString(plan.text)), [this](int answer) {
            if (answer == QMessageBox::Yes)
                startUpgrade(PendingChoice::Resume);
            else if (answer == QMessageBox::No)
                startUpgrade(PendingChoice::Beside);
            else
                accept();
        });
        return;
    }
    startUpgrade(PendingChoice::None);
}

void ProgressWindow::startUpgrade(PendingChoice pending)
{
    // The search has ended before Finish could be pressed; its thread is
    // joined here.
    sheet->search().stopAndWait();
    waitForWorker(worker);
    progress->startRun(state);
    notifier = std::make_unique<WorkerNotifier>();
    connect(notifier.get(), &WorkerNotifier::posted, this, [this](int message, int) {
        if (message == WM_UPGRADE_DONE)
            upgradeDone();
    });
    connect(notifier.get(), &WorkerNotifier::ended, this,
            [this](int outcome) { upgradeEnded(static_cast<UpgradeOutcome>(outcome)); });
    EngineEnv workerEnv = env.engineEnv(notifier.get(), nullptr, &worker.stopFlag());
    workerEnv.resumeUnnamed = pending == PendingChoice::Resume;
    workerEnv.discardPending = pending == PendingChoice::Beside;
    recording = std::make_unique<HistoryRecording>(env.historyFile, "wizard");
    versionBefore = versionBeforeUpgrade(state, workerEnv);
    runMode = state.mode;
    workerOutcome = -1;
    UpgradeState& shared = state;
    WorkerNotifier* report = notifier.get();
    std::atomic<int>* outcome = &workerOutcome;
    worker.start([&shared, workerEnv, report, outcome] {
        *outcome = static_cast<int>(runUpgrade(shared, workerEnv));
        report->end(outcome->load());
    });
    show();
}

void ProgressWindow::tick()
{
    if (state.errorFlag.exchange(0) != 0)
        showErrorBox();
    if (restartRequested)
        restart();
    progress->refresh(state);
}

QWidget* ProgressWindow::dialogParent()
{
    if (isVisible() || !sheet->isVisible())
        return this;
    return sheet.get();
}

void ProgressWindow::showErrorBox()
{
    // The engine's own cause when it gave one; the missing-files box for
    // missing files and for a list that could not be read.
    const std::string cause = state.failureText();
    if (cause.empty() || state.refusal == static_cast<int>(Refusal::MissingFiles))
        queue.enqueue(MessageBoxes::missingFiles(dialogParent()));
    else
        queue.enqueue(MessageBoxes::upgradeFailed(dialogParent(), QString::fromStdString(cause)));
}

void ProgressWindow::upgradeEnded(UpgradeOutcome outcome)
{
    recordRun();
    if (outcome != UpgradeOutcome::Failed && outcome != UpgradeOutcome::Refused)
        return;
    // The worker has let go of the port: the technician may now leave.
    progress->refresh(state);
    progress->showFailure(QString::fromStdString(state.failureText()));
    exit->setEnabled(true);
}

void ProgressWindow::upgradeDone()
{
    const bool display = state.unitKind == UNIT_DISPLAY;
    const QString unit = display ? tr("Display Handset") : tr("Remote Handset");
    const QString other = display ? tr("Remote Handset") : tr("Display Handset");
    const QString from = QString::number(state.unitVersion.load(), 'f', 3);
    const QString to = QString::number(state.finalVersion.load(), 'f', 3);
    TextDialog* dialog;
    if (!askOther) {
        dialog = new UpgradeCompletedDialog(this);
        dialog->setText(tr("Your %1 is finished.\nIt has been Upgraded from Version %2 to Version %3\n\n"
                           "Would you like to upgrade your %4?\n\n"
                           "Please run a Field Calibration to make unit accurate with new firmware.")
                            .arg(unit, from, to, other));
        askOther = true;
    } else {
        dialog = new UpgradeDoneDialog(this);
        dialog->setText(tr("Your %1 is finished.\nIt has been Upgraded from Version %2 to Version %3\n\n"
                           "Please run a Field Calibration to make unit accurate with new firmware.")
                            .arg(unit, from, to));
        askOther = false;
    }
    queue.enqueue(dialog, [this](int result) {
        if (result == QDialog::Accepted)
            accept();
        else
            restartRequested = true;
    });
}

void ProgressWindow::recordRun()
{
    const int ended = workerOutcome.load();
    if (!recording || ended < 0)
        return;
    const auto outcome = static_cast<UpgradeOutcome>(ended);
    HistoryRecord record =
        HistoryRecording::unitRecord(state, versionBefore, runMode, outcome == UpgradeOutcome::Done);
    record.port = "Comm " + std::to_string(state.portIndex + 1);
    record.device = portDevicePath(state.portIndex);
    record.status = upgradeOutcomeStatus(outcome, state.refusal);
    if (outcome == UpgradeOutcome::Stopped)
        record.cause = "stopped: the window was closed";
    else if (outcome != UpgradeOutcome::Done)
        record.cause = state.failureText();
    const std::string warning = recording->write(record);
    recording.reset();
    if (!warning.empty())
        qWarning("unitflash: %s", warning.c_str());
}

void ProgressWindow::restart()
{
    if (sheet->isVisible())
        return;
    restartRequested = false;
    state.unitKind = UNIT_UNKNOWN;
    state.model = 0;
    state.listReady = 0;
    progress->reset();
    state.overallPercent = 0;
    waitForWorker(worker);
    runWizard();
}

void ProgressWindow::reject()
{
    // Closing while the worker runs asks first; a confirmed close stops the
    // worker and waits until it has released the port.
    if (!worker.running()) {
        QDialog::reject();
        return;
    }
    if (closeQuestion != nullptr)
        return;  // already asked
    closeQuestion = MessageBoxes::closeWhileRunning(this);
    queue.enqueue(closeQuestion, [this](int answer) {
        if (answer != QMessageBox::Yes)
            return;
        worker.requestStop();
        waitForWorker(worker);
        recordRun();
        QDialog::reject();
    });
}

void ProgressWindow::contextMenuEvent(QContextMenuEvent* event)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(res::aboutMenuEntry(), this, &ProgressWindow::showAbout);
    menu->popup(event->globalPos());
}

void ProgressWindow::showAbout()
{
    queue.enqueue(new AboutDialog(this));
}

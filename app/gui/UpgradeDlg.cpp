// The main window's flow: wizard runs, version gate, upgrade worker,
// timer duties, completion and restart.
#include "app/gui/UpgradeDlg.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/gui/DialogRunner.h"
#include "app/gui/Dialogs.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/ProgressPanel.h"
#include "app/gui/PropertyPages.h"
#include "app/gui/PropertySheet.h"
#include "app/gui/Resources.h"
#include "engine/UpgradePlan.h"

namespace {

constexpr int kTickMs = 100;

}  // namespace

CUpgradeDlg::CUpgradeDlg(UpgradeState& state, const GuiEnvironment& env)
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      state(state), env(env)
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
    connect(about, &QShortcut::activated, this, &CUpgradeDlg::showAbout);
    wizard = std::make_unique<CMyPropertySheet>(state, env, this);
    connect(wizard.get(), &QDialog::finished, this, &CUpgradeDlg::wizardFinished);
    timer.setInterval(kTickMs);
    connect(&timer, &QTimer::timeout, this, &CUpgradeDlg::tick);
}

CUpgradeDlg::~CUpgradeDlg()
{
    timer.stop();
    worker.requestStop();
    worker.join();
}

void CUpgradeDlg::start()
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

void CUpgradeDlg::runWizard()
{
    exit->setEnabled(false);
    wizard->page2().setRefillList();
    wizard->page1().setVersionLine(res::loaderVersion());
    wizard->runModeless();
}

void CUpgradeDlg::wizardFinished(int result)
{
    if (result != QDialog::Accepted) {
        wizard->stopIdentification();
        accept();
        return;
    }
    // Below 1.09, or a version that could not be read (0): Technical Support.
    if (state.unitVersion < kMinimumVersion) {
        CTechSupportDlg dialog(this);
        dialog.setText(res::techSupportText());
        env.runner().run(dialog);
        accept();
        return;
    }
    if (state.mode == MODE_NEWER_UNIT) {
        CVersionWarningDlg dialog(this);
        env.runner().run(dialog);
        accept();
        return;
    }
    // Another unit's unfinished carry-over stays unless the technician sets
    // it aside; the engine refuses the run otherwise.
    discardPending = false;
    const PlanCheck plan = checkUpgradePlan(state, env.engineEnv(nullptr, nullptr, nullptr));
    if (plan.refusal == Refusal::PendingOtherUnit) {
        if (!askSetAsidePending(env.runner(), this, QString::fromStdString(plan.text))) {
            accept();
            return;
        }
        discardPending = true;
    }
    startUpgrade();
    show();
}

void CUpgradeDlg::startUpgrade()
{
    // The identification has reported; let it release the port first.
    wizard->joinIdentification();
    worker.join();
    notifier = std::make_unique<QueuedNotifier>(this, 0);
    EngineEnv workerEnv = env.engineEnv(notifier.get(), nullptr, &worker.stopFlag());
    workerEnv.discardPending = discardPending;
    UpgradeState& shared = state;
    worker.start([&shared, workerEnv] { runUpgrade(shared, workerEnv); });
}

void CUpgradeDlg::tick()
{
    if (state.errorFlag.exchange(0) != 0)
        postEngineEvent(this, WM_FILE_ERROR, 0);
    if (restartRequested)
        postEngineEvent(this, WM_UPGRADE_AGAIN, 0);
    progress->refresh(state);
}

void CUpgradeDlg::customEvent(QEvent* event)
{
    if (event->type() != EngineEvent::type())
        return QDialog::customEvent(event);
    switch (static_cast<const EngineEvent*>(event)->message) {
    case WM_UPGRADE_DONE:
        upgradeDone();
        break;
    case WM_UPGRADE_AGAIN:
        // Ticks go on posting until the restart has run; only the first counts.
        if (restartRequested)
            restart();
        break;
    case WM_FILE_ERROR: {
        // The engine's own cause when it gave one; the missing-files box for
        // missing files and for a list that could not be read.
        const std::string cause = state.failureText();
        if (cause.empty() || state.refusal == static_cast<int>(Refusal::MissingFiles))
            showMissingFilesBox(env.runner(), isVisible() ? this : nullptr);
        else
            showUpgradeFailedBox(env.runner(), isVisible() ? this : nullptr, QString::fromStdString(cause));
        break;
    }
    default:
        break;
    }
}

void CUpgradeDlg::upgradeDone()
{
    const bool display = state.unitKind == UNIT_DISPLAY;
    const QString unit = display ? tr("Display Handset") : tr("Remote Handset");
    const QString other = display ? tr("Remote Handset") : tr("Display Handset");
    const QByteArray unitName = unit.toUtf8();
    int result;
    if (!askOther) {
        CUpgradeCompletedDlg dialog(this);
        dialog.setText(QString::asprintf(
            tr("Your %s is finished.\nIt has been Upgraded from Version %5.3f to Version %5.3f\n\n"
               "Would you like to upgrade your %s?\n\n"
               "Please run a Field Calibration to make unit accurate with new firmware.")
                .toUtf8()
                .constData(),
            unitName.constData(), state.unitVersion.load(), state.finalVersion.load(), other.toUtf8().constData()));
        askOther = true;
        result = env.runner().run(dialog);
    } else {
        CUpgradeDoneDlg dialog(this);
        dialog.setText(QString::asprintf(
            tr("Your %s is finished.\nIt has been Upgraded from Version %5.3f to Version %5.3f\n\n"
               "Please run a Field Calibration to make unit accurate with new firmware.")
                .toUtf8()
                .constData(),
            unitName.constData(), state.unitVersion.load(), state.finalVersion.load()));
        result = env.runner().run(dialog);
        askOther = false;
    }
    if (result == QDialog::Accepted)
        accept();
    else
        restartRequested = true;
}

void CUpgradeDlg::restart()
{
    if (wizard->isVisible())
        return;
    restartRequested = false;
    state.unitKind = UNIT_UNKNOWN;
    state.model = 0;
    state.listReady = 0;
    progress->reset();
    state.overallPercent = 0;
    worker.join();
    runWizard();
}

void CUpgradeDlg::reject()
{
    // Closing while the worker runs asks first; a confirmed close stops the
    // worker and waits until it has released the port.
    if (worker.running()) {
        if (!askCloseWhileRunning(env.runner(), this))
            return;
        worker.requestStop();
        worker.join();
    }
    QDialog::reject();
}

void CUpgradeDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(res::aboutMenuEntry(), this, &CUpgradeDlg::showAbout);
    menu.exec(event->globalPos());
}

void CUpgradeDlg::showAbout()
{
    CAboutDlg dialog(this);
    env.runner().run(dialog);
}

// The main window: it runs the wizard, applies the version gate, starts the
// upgrade worker, shows its progress and how it ended, and offers the other
// unit when an upgrade is complete.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <memory>

#include "app/gui/DialogQueue.h"
#include "app/gui/GuiEnvironment.h"
#include "engine/Workers.h"

class HistoryRecording;
class ProgressPanel;
class QPushButton;
class UpgradeWizard;
class WorkerNotifier;

// GUI thread only. The worker's reports arrive as queued signals; the
// 100 ms timer polls the state, raises an error box per raised errorFlag
// and runs a pending restart. Dialogs show one at a time without nested
// event loops. The window ends (finished()) when the program should end: a
// wizard Cancel, the version gate, an "Exit", or a close.
class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    ProgressWindow(UpgradeState& state, const GuiEnvironment& env);
    ~ProgressWindow() override;

    // Initialises the window and runs the first wizard; the window shows
    // once the wizard has been finished and the upgrade has started.
    void start();
    // One tick of the 100 ms timer, in its order: error flag, restart
    // request, progress display.
    void tick();

    UpgradeWizard& wizard() const { return *sheet; }
    ProgressPanel& panel() const { return *progress; }
    DialogQueue& dialogs() { return queue; }
    QPushButton* exitButton() const { return exit; }
    bool upgrading() const { return worker.running(); }
    bool restartPending() const { return restartRequested; }
    bool askOtherUnit() const { return askOther; }
    // Shows the About box.
    void showAbout();
    // The worker's report of a finished upgrade: the completion dialog.
    void upgradeDone();

public Q_SLOTS:
    void reject() override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void runWizard();
    void wizardFinished(int result);
    // What the technician said about an unnamed unit's unfinished
    // carry-over: nothing asked, it is this unit, or another one.
    enum class PendingChoice { None, Resume, Beside };
    void startUpgrade(PendingChoice pending);
    void upgradeEnded(UpgradeOutcome outcome);
    void restart();
    // Adds the upgrade run that has just ended to the history, once.
    void recordRun();
    void showErrorBox();
    // The window a dialog belongs over: this one when shown, else the wizard.
    QWidget* dialogParent();

    UpgradeState& state;
    const GuiEnvironment& env;
    DialogQueue queue;
    ProgressPanel* progress;
    QPushButton* exit;
    QTimer timer;
    QPointer<QDialog> closeQuestion;  // while the close question is queued or shown
    bool restartRequested = false;
    bool askOther = false;
    std::unique_ptr<UpgradeWizard> sheet;
    std::unique_ptr<WorkerNotifier> notifier;
    // The upgrade run not yet in the history: its clock, the version before
    // it, its mode, and its outcome once the worker has one (-1 before).
    std::unique_ptr<HistoryRecording> recording;
    double versionBefore = 0;
    int runMode = MODE_NOT_READY;
    std::atomic<int> workerOutcome{-1};
    WorkerThread worker;  // last: stopped and joined before the rest goes
};

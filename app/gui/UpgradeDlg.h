// The main window CUpgradeDlg: it runs the wizard, applies the version
// gate, starts the upgrade worker, shows its progress, and offers the other
// unit when an upgrade is complete.
#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>

#include "app/gui/EngineEvent.h"
#include "app/gui/GuiEnvironment.h"
#include "engine/Workers.h"

class CMyPropertySheet;
class ProgressPanel;
class QPushButton;

// GUI thread only. The worker reports WM_UPGRADE_DONE as a queued event;
// the 100 ms timer polls the state and posts WM_FILE_ERROR and
// WM_UPGRADE_AGAIN to this window. The window ends (finished()) when the
// program should end: a wizard Cancel, the version gate, an "Exit", or a
// close.
class CUpgradeDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr double kMinimumVersion = 1.09;

    CUpgradeDlg(UpgradeState& state, const GuiEnvironment& env);
    ~CUpgradeDlg() override;

    // Initialises the window and runs the first wizard; the window shows
    // once the wizard has been finished and the upgrade has started.
    void start();
    // One tick of the 100 ms timer, in its order: error flag, restart
    // request, progress display.
    void tick();

    CMyPropertySheet& sheet() const { return *wizard; }
    ProgressPanel& panel() const { return *progress; }
    QPushButton* exitButton() const { return exit; }
    bool upgrading() const { return worker.running(); }
    bool restartPending() const { return restartRequested; }
    bool askOtherUnit() const { return askOther; }
    // Shows the About box.
    void showAbout();

public Q_SLOTS:
    void reject() override;

protected:
    void customEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void runWizard();
    void wizardFinished(int result);
    void upgradeDone();
    void restart();
    void startUpgrade();

    UpgradeState& state;
    const GuiEnvironment& env;
    ProgressPanel* progress;
    QPushButton* exit;
    QTimer timer;
    bool restartRequested = false;
    bool askOther = false;
    // The technician chose to set another unit's unfinished carry-over aside.
    bool discardPending = false;
    std::unique_ptr<CMyPropertySheet> wizard;
    std::unique_ptr<QueuedNotifier> notifier;
    WorkerThread worker;  // last: stopped and joined before the rest goes
};

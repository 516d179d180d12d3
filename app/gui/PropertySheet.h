// The five-page wizard CMyPropertySheet: button states by code, and the
// identification worker it starts for page 4.
#pragma once

#include <QWizard>
#include <memory>

#include "app/gui/AnimateRemove.h"
#include "app/gui/EngineEvent.h"
#include "app/gui/GuiEnvironment.h"
#include "engine/Workers.h"

class CMyPropertyPage1;
class CMyPropertyPage2;
class CMyPropertyPage3;
class CMyPropertyPage4;
class CMyPropertyPage5;

// Wizard button flags, as the button codes set them.
enum WizardButtonFlags : int {
    PSWIZB_BACK = 1,
    PSWIZB_NEXT = 2,
    PSWIZB_FINISH = 4,
    PSWIZB_DISABLEDFINISH = 8,
};

// The flags a button code (1..6) stands for; 0 for any other code.
int wizardButtonFlags(int code);

// The wizard sheet. Pages post it WM_WIZARD_BUTTONS and WM_START_IDENTIFY;
// the identification worker posts it WM_IDENTIFY_DONE. Shown application-
// modal, once per wizard run; its finished() signal ends the run.
// GUI thread only.
class CMyPropertySheet : public QWizard {
    Q_OBJECT
public:
    // animationOwner: the window that owns the search animation.
    CMyPropertySheet(UpgradeState& state, const GuiEnvironment& env, QWidget* animationOwner);
    ~CMyPropertySheet() override;

    CMyPropertyPage1& page1() const { return *p1; }
    CMyPropertyPage2& page2() const { return *p2; }
    CMyPropertyPage3& page3() const { return *p3; }
    CMyPropertyPage4& page4() const { return *p4; }
    CMyPropertyPage5& page5() const { return *p5; }

    // The flags last set by a button code or an identification report.
    int buttonFlags() const { return flags; }
    // Shows the sheet from page 1, application-modal and centred.
    void runModeless();
    // True while an identification worker runs.
    bool identifying() const { return worker.running(); }
    // Asks a running identification to stop and waits until it has let go
    // of the port (the worker checks its stop request every 100 ms).
    void stopIdentification();
    // Waits for an identification that is ending by itself.
    void joinIdentification() { worker.join(); }
    // The search animation (its window exists while a run shows it).
    const GuiSearchAnimation& animation() const { return searchAnimation; }
    const GuiEnvironment& environment() const { return env; }
    UpgradeState& upgradeState() const { return state; }

protected:
    void customEvent(QEvent* event) override;
    void done(int result) override;

private:
    void pageChanged(int id);
    void setFlags(int value);
    void startIdentification();
    void launchWhenFree();

    UpgradeState& state;
    const GuiEnvironment& env;
    CMyPropertyPage1* p1;
    CMyPropertyPage2* p2;
    CMyPropertyPage3* p3;
    CMyPropertyPage4* p4;
    CMyPropertyPage5* p5;
    int flags = 0;
    int run = 0;          // the identification run whose report counts
    bool pendingStart = false;
    GuiSearchAnimation searchAnimation;
    std::unique_ptr<QueuedNotifier> notifier;
    WorkerThread worker;  // last: stopped and joined before the rest goes
};

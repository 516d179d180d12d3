// The five-page upgrade wizard: instructions, port, unit set-up, the search
// for the unit, and the confirmation with the upgrade option.
#pragma once

#include <QWizard>

#include "app/gui/GuiEnvironment.h"
#include "app/gui/UnitSearch.h"

class FinishPage;
class IdentifyPage;
class IntroPage;
class PortPage;
class UnitSetupPage;

// Shown application-modal, once per wizard run; its finished() signal ends
// the run (Accepted after Finish). The search for the unit belongs to the
// identify page's activations; leaving that page or the wizard stops it.
// GUI thread only.
class UpgradeWizard : public QWizard {
    Q_OBJECT
public:
    enum PageId { Intro, Port, UnitSetup, Identify, Finish };

    UpgradeWizard(UpgradeState& state, const GuiEnvironment& env);
    ~UpgradeWizard() override;

    IntroPage& introPage() const { return *intro; }
    PortPage& portPage() const { return *port; }
    UnitSetupPage& unitSetupPage() const { return *unitSetup; }
    IdentifyPage& identifyPage() const { return *identify; }
    FinishPage& finishPage() const { return *finish; }
    UnitSearch& search() { return unitSearch; }

    // Shows the wizard from page 1, application-modal and centred.
    void runModeless();

protected:
    void done(int result) override;

private:
    void pageChanged(int id);

    UnitSearch unitSearch;
    IntroPage* intro;
    PortPage* port;
    UnitSetupPage* unitSetup;
    IdentifyPage* identify;
    FinishPage* finish;
    int shownId = -1;
};

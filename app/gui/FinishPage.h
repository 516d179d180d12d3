// The wizard's fifth page, "Finish the Upgrade": both versions, the upgrade
// options, and what would stop the chosen upgrade.
#pragma once

#include "app/gui/WizardPage.h"

class QButtonGroup;
class QLabel;
class QRadioButton;
class UpgradeState;
struct GuiEnvironment;

// Shows the unit's and the set's versions and offers the options that are
// safe for this unit. A unit the loader does not upgrade (too old, newer
// than the set) is said so here, before Finish. Finish is disabled while
// the chosen upgrade could not run (a file or list missing in the set);
// it sets state.mode from the option.
class FinishPage : public WizardPage {
    Q_OBJECT
public:
    FinishPage(UpgradeState& state, const GuiEnvironment& env);
    void activate() override;
    bool isComplete() const override { return !blocked; }
    bool validatePage() override;

    // The checked option: 0 update only, 1 reinstall, 2 downgrade.
    int choice() const;
    QRadioButton* option(int index) const;
    QString unitVersionText() const;
    QString targetVersionText() const;
    // Why this unit, or the chosen option, will not be upgraded; "" when
    // nothing stands in the way.
    QString noticeText() const;

private:
    void choiceChanged();

    UpgradeState& state;
    const GuiEnvironment& env;
    QLabel* unitVersion;
    QLabel* targetVersion;
    QLabel* notice;
    QButtonGroup* options;
    bool blocked = false;
};

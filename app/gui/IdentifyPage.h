// The wizard's fourth page, "ID the unit": the search for the unit and what
// it found.
#pragma once

#include <QTimer>

#include "app/gui/WizardPage.h"
#include "engine/Workers.h"

class QLabel;
class UnitSearch;
class UpgradeState;

// Starts a search on every activation and shows its status every 50 ms;
// Next is enabled once the search has identified the unit. Leaving the page
// stops the search.
class IdentifyPage : public WizardPage {
    Q_OBJECT
public:
    IdentifyPage(UpgradeState& state, UnitSearch& search);
    void activate() override;
    void leave() override;
    bool isComplete() const override { return identified; }

    // One status poll (the timer's duty).
    void poll();
    QString statusLine() const;
    QString foundLine() const;
    // Beneath the status: why the search failed, or what it found.
    QString detailLine() const;

private:
    void searchFinished(IdentifyOutcome outcome);

    UpgradeState& state;
    UnitSearch& search;
    QLabel* status;
    QLabel* found;
    QLabel* detail;
    QTimer timer;
    bool identified = false;
};

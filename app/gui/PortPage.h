// The wizard's second page, "Comm Setup": which serial port the unit is on.
#pragma once

#include "app/gui/WizardPage.h"

class QLabel;
class QListWidget;
class UpgradeState;

// The four port names and the device behind each; Next stores the chosen
// one in state.portIndex.
class PortPage : public WizardPage {
    Q_OBJECT
public:
    explicit PortPage(UpgradeState& state);
    void activate() override;
    bool validatePage() override;
    // Asks for the list to be filled again at the next activation.
    void setRefillList() { refillList = true; }
    QListWidget* portList() const { return list; }
    QLabel* deviceLabel() const { return devices; }

private:
    UpgradeState& state;
    QListWidget* list;
    QLabel* devices;
    bool refillList = true;
};

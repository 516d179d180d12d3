// The wizard's third page, "How to setup unit for loading".
#pragma once

#include "app/gui/WizardPage.h"

// How to put either handset into its software update mode; text only.
class UnitSetupPage : public WizardPage {
    Q_OBJECT
public:
    UnitSetupPage();
};

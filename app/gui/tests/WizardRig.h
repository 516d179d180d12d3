// A main window with its wizard on a scratch firmware set, for the
// wizard's tests: no unit answers on its port.
#pragma once

#include <QTemporaryDir>
#include <memory>

#include "app/gui/GuiEnvironment.h"
#include "app/gui/ProgressWindow.h"
#include "app/gui/tests/GuiTestKit.h"
#include "engine/UpgradeState.h"

struct WizardRig {
    WizardRig();
    ~WizardRig();

    // Writes or removes "control.upd" in the scratch set.
    void writeControlFile() const;
    void removeControlFile() const;
    // From page 1 through a failed search to page 5, as if the search had
    // identified a Display Handset 7355 at version (mode 1 unless given).
    bool reachPage5(double version, int mode = MODE_UPDATE_ONLY);

    QTemporaryDir dir;
    UpgradeState state;
    ScriptedRunner runner;
    GuiEnvironment env;
    std::unique_ptr<ProgressWindow> window;
};

// The device "Comm 1" names in these tests; nothing is there.
constexpr const char* kMissingPort = "/nonexistent-unitflash-port";

// The application object: the shared record, the worker settings and the
// main window of one program run.
#pragma once

#include <memory>

#include "app/gui/GuiEnvironment.h"
#include "engine/UpgradeState.h"

class ProgressWindow;

// Lives on the GUI thread for the whole run, inside a QApplication. The
// program takes no command-line options; the firmware set is the current
// directory.
class UpgradeApp {
public:
    UpgradeApp();
    ~UpgradeApp();

    // Installs the library error box, opens the main window (which runs the
    // wizard first) and runs the event loop until the main window ends.
    // Returns the process exit status.
    int run();

private:
    UpgradeState state;
    GuiEnvironment env;
    std::unique_ptr<ProgressWindow> mainWindow;
};

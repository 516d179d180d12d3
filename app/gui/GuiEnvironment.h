// What the wizard hands its workers: the firmware set, the port, the clock
// and the pacing; and how it shows its dialogs.
#pragma once

#include <string>

#include "engine/EngineEnv.h"

class DialogRunner;

struct GuiEnvironment {
    // The firmware set; empty: the current directory.
    std::string workDir;
    // The port opener; the platform's when empty.
    PortOpener openPort;
    // The workers' clock; the system clock when null.
    Clock* clock = nullptr;
    // Multiplies the engine's fixed console pauses.
    double pauseScale = 1.0;
    // Real time the identification waits before it opens the port.
    int openDelayMs = 5000;
    // Shows every modal dialog; the default runner when null.
    DialogRunner* dialogs = nullptr;
    // The upgrade history each upgrade run is added to; "" = none.
    std::string historyFile;

    // A worker's environment with this one's settings.
    EngineEnv engineEnv(EngineNotifier* notifier, SearchAnimation* animation,
                        const std::atomic<bool>* stop) const;
    DialogRunner& runner() const;
    // The path of a firmware-set file.
    std::string path(const std::string& name) const;

    // The production settings, with UNITFLASH_PAUSE_SCALE (a positive number
    // multiplying the pauses) and UNITFLASH_OPEN_DELAY_MS (0 or more) from
    // the process environment when they are set and valid, and the upgrade
    // history at UNITFLASH_HISTORY or in the user's data folder.
    static GuiEnvironment fromProcessEnvironment();
};

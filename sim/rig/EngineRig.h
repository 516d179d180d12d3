// Runs the engine's workers against the virtual unit in process: the unit
// rig's line in virtual time, the workers on the host's end, and a demo
// firmware set in the rig's scratch folder.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sim/rig/UnitRig.h"
#include "engine/EngineEnv.h"
#include "engine/UpgradeState.h"
#include "engine/Workers.h"

// Records every report a worker posts.
class RecordingNotifier : public EngineNotifier {
public:
    void post(int message, int wParam) override { posts.push_back({message, wParam}); }
    std::vector<std::pair<int, int>> posts;
};

// One unit, one firmware set, one UpgradeState; each session() joins a
// fresh line between the unit (as it was left) and the host function.
class EngineRig : public UnitRig {
public:
    // A factory-fresh unit of this identity; the firmware set is written by
    // the fwset program with fwsetArgs added.
    explicit EngineRig(const UnitIdentity& identity, const std::vector<std::string>& fwsetArgs = {});

    // Runs the unit until host returns; the host gets an environment whose
    // port is the far end of the line. After a power cut the unit plays
    // dead and the host is asked to stop.
    UnitEnd session(const std::function<void(const EngineEnv&)>& host);
    // Identification then, when it found the unit, an upgrade in mode.
    UpgradeOutcome identifyAndUpgrade(int mode);

    // The firmware set's folder. Its name holds a blank, as a technician's
    // "Firmware 1.312" folder does: every upgrade in the rig proves that the
    // folder reaches the files whole, never as a name list split at blanks.
    std::string setFolder() const { return dir / "Firmware 1.312"; }
    // The path of a file of the firmware set.
    std::string set(const std::string& name) const { return setFolder() + "/" + name; }
    // The path of a working file of the unit with this serial number (the
    // rig's own unit by default) in its folder in the set.
    std::string work(const std::string& name, const std::string& serial = {}) const
    {
        return setFolder() + "/units/" + (serial.empty() ? unit.identity.serial : serial) + "/" + name;
    }

    UpgradeState state;
    RecordingNotifier notifier;
    IdentifyOutcome identified = IdentifyOutcome::Stopped;
    double pauseScale = 1.0;
    // Passed on to every session's environment.
    bool discardPending = false;
    bool resumeUnnamed = false;
};

// Runs the engine's workers against the virtual unit in process: two fake
// ports joined in virtual time, the unit on one end, the workers on the
// other, and a demo firmware set in a scratch folder.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "testkit/PipePair.h"
#include "testkit/ScratchDir.h"
#include "testkit/Files.h"
#include "sim/unit/UnitState.h"
#include "sim/unit/VirtualUnit.h"
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
class EngineBench {
public:
    // A factory-fresh unit of this identity; the firmware set is written by
    // the fwset program with fwsetArgs added.
    explicit EngineBench(const UnitIdentity& identity, const std::vector<std::string>& fwsetArgs = {});

    // Runs the unit until host returns; the host gets an environment whose
    // port is the far end of the line. After a power cut the unit plays
    // dead and the host is asked to stop.
    UnitEnd session(const std::function<void(const EngineEnv&)>& host);
    // Identification then, when it found the unit, an upgrade in mode.
    UpgradeOutcome identifyAndUpgrade(int mode);

    // The transcript's events since the bench began, and their command texts.
    std::vector<nlohmann::json> events() const;
    std::vector<std::string> commands() const;
    std::string set(const std::string& name) const { return dir / ("set/" + name); }

    testkit::ScratchDir dir;
    UnitState unit;
    UnitBehaviour behaviour;
    UpgradeState state;
    RecordingNotifier notifier;
    IdentifyOutcome identified = IdentifyOutcome::Stopped;
    double pauseScale = 1.0;
};

std::vector<std::uint8_t> fileBytes(const std::string& path);

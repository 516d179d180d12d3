// The virtual unit in process: a unit on one end of a pipe pair, a host
// function on the other, in virtual time, so long pauses cost nothing.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "testkit/FakePort.h"
#include "testkit/ScratchDir.h"
#include "testkit/VirtualClock.h"
#include "sim/unit/UnitIdentity.h"
#include "sim/unit/UnitState.h"
#include "sim/unit/VirtualUnit.h"

// One factory-fresh unit and its transcript in a scratch folder; each run()
// joins a fresh line between the unit (as the last run left it) and a host.
class UnitRig {
public:
    // A factory-fresh unit of this identity.
    explicit UnitRig(const UnitIdentity& identity = UnitIdentity());

    // A host on the far end of the line: its port, and the clock the line
    // runs on (for the host's own link).
    using Host = std::function<void(testkit::FakePort& port, testkit::VirtualClock& clock)>;

    // Runs the unit until host returns, then stops it. After a power cut
    // the unit plays dead and unitDown is raised, so a host that watches it
    // can give up.
    UnitEnd run(const Host& host);

    // The transcript's events since the rig began, all of them or those
    // named event, and the texts of the commands among them.
    std::vector<nlohmann::json> events() const;
    std::vector<nlohmann::json> events(const std::string& event) const;
    std::vector<std::string> commands() const;
    // The commands that do something: without empty lines and "idn? k".
    std::vector<std::string> significantCommands() const;
    // A copy of length bytes of the unit's flash from address.
    std::vector<std::uint8_t> flash(std::uint32_t address, std::uint32_t length) const;

    testkit::ScratchDir dir;
    UnitState unit;
    UnitBehaviour behaviour;
    // Non-empty commands the unit carried out in the last run.
    int commandsCarriedOut = 0;
    // Raised when the power cut struck in the current run.
    std::atomic<bool> unitDown{false};
};

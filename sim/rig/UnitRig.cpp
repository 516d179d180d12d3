// The virtual unit on one end of a pipe pair in virtual time.
#include "sim/rig/UnitRig.h"

#include <fstream>

#include <gtest/gtest.h>

#include "sim/unit/FactoryImages.h"
#include "sim/unit/StartRequestClock.h"
#include "sim/unit/Transcript.h"
#include "sim/unit/UnitLinePort.h"
#include "comlink/CommLink.h"
#include "testkit/PipePair.h"

using namespace testkit;

UnitRig::UnitRig(const UnitIdentity& identity)
{
    std::string error;
    EXPECT_TRUE(makeFactoryState(identity, nullptr, unit, error)) << error;
}

UnitEnd UnitRig::run(const Host& host)
{
    PipePair pair;
    std::atomic<bool> unitStop{false};
    unitDown = false;
    UnitEnd end = UnitEnd::Stopped;
    pair.run(
        [&](FakePort& port) {
            StartRequestClock clock(pair.clock);
            UnitLinePort line(port);
            CommLink link(&line, &clock);
            Transcript transcript(pair.clock);
            // Every run adds to the one transcript of the rig.
            transcript.open(dir / "transcript.jsonl", true);
            VirtualUnit virtualUnit(unit, behaviour, transcript);
            end = virtualUnit.run(link, line, clock, unitStop);
            commandsCarriedOut = virtualUnit.commandsCarriedOut();
            if (end == UnitEnd::PowerCut) {
                unitDown = true;
                virtualUnit.playDead(link, unitStop);
            }
        },
        [&](FakePort& port) {
            host(port, pair.clock);
            unitStop = true;
        });
    return end;
}

std::vector<nlohmann::json> UnitRig::events() const
{
    std::vector<nlohmann::json> out;
    std::ifstream in(dir / "transcript.jsonl");
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            out.push_back(nlohmann::json::parse(line));
    return out;
}

std::vector<nlohmann::json> UnitRig::events(const std::string& event) const
{
    std::vector<nlohmann::json> out;
    for (const nlohmann::json& e : events())
        if (e["event"] == event)
            out.push_back(e);
    return out;
}

std::vector<std::string> UnitRig::commands() const
{
    std::vector<std::string> out;
    for (const nlohmann::json& e : events("command"))
        out.push_back(e["text"]);
    return out;
}

std::vector<std::string> UnitRig::significantCommands() const
{
    std::vector<std::string> out;
    for (const std::string& c : commands())
        if (!c.empty() && c != "idn? k")
            out.push_back(c);
    return out;
}

std::vector<std::uint8_t> UnitRig::flash(std::uint32_t address, std::uint32_t length) const
{
    std::vector<std::uint8_t> bytes;
    unit.flash.read(address, length, bytes);
    return bytes;
}

// The in-process bench of the engine against the virtual unit.
#include "engine/testrig/EngineBench.h"

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "sim/unit/FactoryImages.h"
#include "sim/unit/StartRequestClock.h"
#include "sim/unit/Transcript.h"
#include "sim/unit/UnitLinePort.h"
#include "comlink/CommLink.h"
#include "comlink/ForwardingPort.h"
#include "process/ChildProcess.h"

using namespace testkit;

namespace {

// The host's end of the pipe pair, lent to a worker that believes it owns it.
class BorrowedPort : public ForwardingPort {
public:
    explicit BorrowedPort(CommPort& port) : port(port) {}

protected:
    CommPort* inner() override { return &port; }

private:
    CommPort& port;
};

}  // namespace

std::vector<std::uint8_t> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

EngineBench::EngineBench(const UnitIdentity& identity, const std::vector<std::string>& fwsetArgs)
{
    std::string error;
    EXPECT_TRUE(makeFactoryState(identity, nullptr, unit, error)) << error;
    std::vector<std::string> args{"fwset", dir / "set"};
    args.insert(args.end(), fwsetArgs.begin(), fwsetArgs.end());
    ChildProcess fwset;
    fwset.redirectToFile(ChildProcess::StdOut, dir / "fwset.out");
    fwset.mergeErrorIntoOutput();
    EXPECT_TRUE(fwset.start(FWSET_PATH, args));
    EXPECT_TRUE(fwset.wait(30000));
    EXPECT_EQ(fwset.exitStatus(), 0);
}

UnitEnd EngineBench::session(const std::function<void(const EngineEnv&)>& host)
{
    PipePair pair;
    std::atomic<bool> unitStop{false};
    std::atomic<bool> hostStop{false};
    UnitEnd end = UnitEnd::Stopped;
    pair.run(
        [&](FakePort& port) {
            StartRequestClock clock(pair.clock);
            UnitLinePort line(port);
            CommLink link(&line, &clock);
            Transcript transcript(pair.clock);
            transcript.open(dir / "transcript.jsonl", true);
            VirtualUnit virtualUnit(unit, behaviour, transcript);
            end = virtualUnit.run(link, line, clock, unitStop);
            if (end == UnitEnd::PowerCut) {
                hostStop = true;
                virtualUnit.playDead(link, unitStop);
            }
        },
        [&](FakePort& port) {
            EngineEnv env;
            env.workDir = dir / "set";
            env.clock = &pair.clock;
            env.notifier = &notifier;
            env.stop = &hostStop;
            env.pauseScale = pauseScale;
            env.openDelayMs = 0;
            env.openPort = [&port](int, int, int) { return std::make_unique<BorrowedPort>(port); };
            host(env);
            // Let the unit take in the last command (half a second of
            // virtual time) before it is stopped.
            for (int i = 0; i < 100; ++i)
                port.idle();
            unitStop = true;
        });
    return end;
}

UpgradeOutcome EngineBench::identifyAndUpgrade(int mode)
{
    UpgradeOutcome outcome = UpgradeOutcome::Stopped;
    session([&](const EngineEnv& env) {
        identified = runIdentification(state, env);
        if (identified != IdentifyOutcome::Identified)
            return;
        state.mode = mode;
        outcome = runUpgrade(state, env);
    });
    return outcome;
}

std::vector<nlohmann::json> EngineBench::events() const
{
    std::vector<nlohmann::json> out;
    std::ifstream in(dir / "transcript.jsonl");
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            out.push_back(nlohmann::json::parse(line));
    return out;
}

std::vector<std::string> EngineBench::commands() const
{
    std::vector<std::string> out;
    for (const nlohmann::json& e : events())
        if (e["event"] == "command")
            out.push_back(e["text"]);
    return out;
}

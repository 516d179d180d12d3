// The engine's workers against the virtual unit in process.
#include "sim/rig/EngineRig.h"

#include <memory>

#include <gtest/gtest.h>

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

EngineRig::EngineRig(const UnitIdentity& identity, const std::vector<std::string>& fwsetArgs) : UnitRig(identity)
{
    std::vector<std::string> args{"fwset", setFolder()};
    args.insert(args.end(), fwsetArgs.begin(), fwsetArgs.end());
    ChildProcess fwset;
    fwset.redirectToFile(ChildProcess::StdOut, dir / "fwset.out");
    fwset.mergeErrorIntoOutput();
    EXPECT_TRUE(fwset.start(FWSET_PATH, args));
    EXPECT_TRUE(fwset.wait(30000));
    EXPECT_EQ(fwset.exitStatus(), 0);
}

UnitEnd EngineRig::session(const std::function<void(const EngineEnv&)>& host)
{
    return run([&](FakePort& port, VirtualClock& clock) {
        EngineEnv env;
        env.workDir = setFolder();
        env.clock = &clock;
        env.notifier = &notifier;
        env.stop = &unitDown;
        env.discardPending = discardPending;
        env.resumeUnnamed = resumeUnnamed;
        env.pauseScale = pauseScale;
        env.openDelayMs = 0;
        env.openPort = [&port](int, int, int) { return std::make_unique<BorrowedPort>(port); };
        host(env);
        // Let the unit take in the last command (half a second of virtual
        // time) before it is stopped.
        for (int i = 0; i < 100; ++i)
            port.idle();
    });
}

UpgradeOutcome EngineRig::identifyAndUpgrade(int mode)
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

// The virtual unit on the wizard's line.
#include "app/gui/tests/UnitOnLine.h"

UnitOnLine::UnitOnLine(const UnitIdentity& identity, const std::function<void(UnitBehaviour&)>& tune)
    : bench(identity)
{
    if (tune)
        tune(bench.behaviour);
    session = std::thread([this] {
        bench.session([this](const EngineEnv& env) {
            ready.set_value(env);
            done.get_future().wait();
        });
    });
    line = ready.get_future().get();
}

UnitOnLine::~UnitOnLine()
{
    done.set_value();
    session.join();
}

GuiEnvironment UnitOnLine::guiEnv(DialogRunner& runner) const
{
    GuiEnvironment env;
    env.workDir = line.workDir;
    env.clock = line.clock;
    env.openPort = line.openPort;
    env.openDelayMs = 0;
    env.dialogs = &runner;
    return env;
}

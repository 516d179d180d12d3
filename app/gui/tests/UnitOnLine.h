// The virtual unit in process on the line the wizard's workers open, in
// virtual time, for as long as the object lives.
#pragma once

#include <future>
#include <thread>

#include "app/gui/GuiEnvironment.h"
#include "sim/rig/EngineRig.h"

class DialogRunner;

class UnitOnLine {
public:
    // A unit of this identity with its firmware set; tune, when given, sets
    // the unit's behaviour before the line opens.
    explicit UnitOnLine(const UnitIdentity& identity, const std::function<void(UnitBehaviour&)>& tune = {});
    // Ends the session; the unit's state stays in bench for a look.
    ~UnitOnLine();

    // The wizard's environment for this unit: its set, its line and clock,
    // no settle wait, dialogs through runner.
    GuiEnvironment guiEnv(DialogRunner& runner) const;

    EngineRig bench;

private:
    std::promise<EngineEnv> ready;
    std::promise<void> done;
    std::thread session;
    EngineEnv line;
};

// The virtual unit at work: its console on a serial link, uploads into its
// flash, memory downloads, restarts and the faults it can be told to show.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/unit/StartRequestClock.h"
#include "sim/unit/Transcript.h"
#include "sim/unit/UnitConsole.h"
#include "sim/unit/UnitState.h"

class CommLink;

// How the unit behaves beyond its identity.
struct UnitBehaviour {
    int bootMs = 3000;           // silence after "boot"/"reboot"
    int startRequestMs = 1000;   // start request interval while waiting for an upload
    int powerCutAfter = 0;       // die after carrying out this many commands; 0 never
    int cancelUploads = 0;       // the unit cancels its first this-many uploads
    int idleLimitMs = 0;         // stop after this long without a received byte; 0 never
};

enum class UnitEnd {
    Stopped,     // the stop flag was raised
    PowerCut,    // the power-cut fault struck (the line is still there)
    IdleLimit,   // nothing arrived for idleLimitMs
    LineLost,    // the line went away under the unit
};

const char* unitEndText(UnitEnd end);

// Runs the unit on one link. Commands are counted when they are not empty.
// An upload ("btx") is received whole before anything is written: a failed
// or cancelled transfer leaves the flash as it was. A received file with a
// load header is written at its load address; any received file with a
// version tag sets the version. A download ("xmodem") sends a copy of the
// flash range taken when the command arrived. Everything is recorded in the
// transcript. The caller owns the line, the state and the transcript.
class VirtualUnit {
public:
    VirtualUnit(UnitState& state, const UnitBehaviour& behaviour, Transcript& transcript);

    // Serves the console on link until stop becomes true (checked at least
    // every 50 ms, and between transfer blocks), the power-cut fault
    // strikes, the idle limit passes or the line fails. link must run on
    // clock (the unit speeds it up while it waits for an upload). Runs on
    // the calling thread; stop may be raised from any thread.
    UnitEnd run(CommLink& link, StartRequestClock& clock, const std::atomic<bool>& stop);

    // After a power cut: the line stays, the unit is dead. Reads and drops
    // whatever arrives until stop becomes true or nothing has arrived for
    // the idle limit; returns Stopped or IdleLimit.
    UnitEnd playDead(CommLink& link, const std::atomic<bool>& stop);

    int commandsCarriedOut() const { return commands; }

private:
    bool writeText(CommLink& link, const std::string& text);
    void receiveUpload(CommLink& link, StartRequestClock& clock, const std::atomic<bool>& stop);
    void sendMemory(CommLink& link, std::uint32_t address, std::uint32_t length,
                    const std::atomic<bool>& stop);
    bool restart(CommLink& link, const std::string& command, const std::atomic<bool>& stop);
    std::string applyUpload(const std::vector<std::uint8_t>& file, nlohmann::json& record);

    UnitState& state;
    UnitBehaviour behaviour;
    Transcript& transcript;
    UnitConsole console;
    int commands = 0;
};

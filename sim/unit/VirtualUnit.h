// The virtual unit at work: its console on a serial link, uploads into its
// flash, memory downloads, restarts and the faults it can be told to show.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/unit/StartRequestClock.h"
#include "sim/unit/Transcript.h"
#include "sim/unit/UnitConsole.h"
#include "sim/unit/UnitState.h"

class CommLink;
class UnitLinePort;

// How the unit behaves beyond its identity. The faults choose their victims
// by number and by text; a text matches when it occurs anywhere in the
// command line or, for uploads, in the first block received.
struct UnitBehaviour {
    // Silence after "boot"/"reboot". Shorter than the 3 s a host leaves
    // between its two closing "reboot" commands, so the second one is heard
    // whole; a host that waits 10 s or 20 s after "boot" finds the unit up.
    int bootMs = 2000;
    int startRequestMs = 1000;   // start request interval while waiting for an upload
    int uploadWaitMs = 20000;    // how long the unit asks for an upload's first block
    int idleLimitMs = 0;         // stop after this long without a received byte; 0 never

    // Power cut after carrying out the powerCutAfter-th non-empty command
    // holding powerCutMatch (every command when empty); 0 never.
    int powerCutAfter = 0;
    std::string powerCutMatch;

    // Cancel cancelUploads uploads after their first block. Without a match
    // text these are the uploads numbered cancelUploadsFrom onwards (counted
    // over the unit's life, so a restarted unit does not repeat them); with
    // one, the first cancelUploads uploads from that number whose first
    // block holds the text.
    int cancelUploads = 0;
    int cancelUploadsFrom = 1;
    std::string cancelUploadMatch;

    // Spoil the first cancelDownloads downloads whose command holds
    // cancelDownloadMatch (any download when empty): cancel each after its
    // first block, or, with shortDownloadBytes > 0, send only that many
    // bytes of the region and end the transfer normally.
    int cancelDownloads = 0;
    std::string cancelDownloadMatch;
    int shortDownloadBytes = 0;
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
    // strikes, the idle limit passes or the line fails. link must run over
    // line (the unit has it ignore line endings before a transfer's first
    // byte) and on clock (the unit speeds it up while it waits for an
    // upload). Runs on the calling thread; stop may be raised from any
    // thread.
    UnitEnd run(CommLink& link, UnitLinePort& line, StartRequestClock& clock,
                const std::atomic<bool>& stop);

    // Called on the unit's thread whenever it waits for input (at least
    // every 50 ms outside transfers): lets the owner of the line add what
    // the line saw to the transcript.
    void setLineWatch(std::function<void()> watch) { lineWatch = std::move(watch); }

    // After a power cut: the line stays, the unit is dead. Reads and drops
    // whatever arrives until stop becomes true or nothing has arrived for
    // the idle limit; returns Stopped or IdleLimit.
    UnitEnd playDead(CommLink& link, const std::atomic<bool>& stop);

    int commandsCarriedOut() const { return commands; }

private:
    bool writeText(CommLink& link, const std::string& text);
    void recordCommand(const ConsoleLine& line);
    bool powerCutDue(const std::string& command);
    void receiveUpload(CommLink& link, UnitLinePort& line, StartRequestClock& clock,
                       const std::atomic<bool>& stop);
    bool cancelUpload(int number, const std::vector<std::uint8_t>& received);
    void sendMemory(CommLink& link, UnitLinePort& line, const std::string& command,
                    std::uint32_t address, std::uint32_t length, const std::atomic<bool>& stop);
    bool spoilDownload(const std::string& command);
    bool restart(CommLink& link, const std::string& command, const std::atomic<bool>& stop);
    std::string applyUpload(const std::vector<std::uint8_t>& file, nlohmann::json& record);
    void watchLine();

    UnitState& state;
    UnitBehaviour behaviour;
    Transcript& transcript;
    UnitConsole console;
    std::function<void()> lineWatch;
    int commands = 0;
    int powerCutCount = 0;        // commands counted towards the power cut
    int uploadsCancelled = 0;     // by the match rule, in this run
    int downloads = 0;
    int downloadsSpoiled = 0;
};

// The unit's boot console from the host's side: commands, replies, the two
// prompt waits and fixed pauses.
#pragma once

#include <string>

#include "engine/EngineEnv.h"

class CommLink;
class ReopeningPort;
class UpgradeProgress;
class UpgradeState;

// Reply limits of the console reads.
constexpr int kReplyNormal = 400;
constexpr int kReplyShort = 200;
constexpr int kReplyDrain = 100;
// How long readReply waits for the reply.
constexpr int kReplyTimeoutMs = 500;

// The console operations of one worker on its link. Every pause is a fixed
// wait scaled by the environment's pauseScale; every wait checks the stop
// request at least every 100 ms, and when it is raised the operations
// return false (or an empty reply) at once and send nothing more.
//
// A lost port (the device went away) never shortens a wait: each pause
// lasts its time whatever the port returns. When `port` is given, the waits
// say so in the state's status text and open the device again, about once a
// second, until it is back. Worker thread only.
class ConsoleSession {
public:
    ConsoleSession(CommLink& link, const EngineEnv& env, UpgradeState& state, ReopeningPort* port = nullptr);

    // Writes text and one LF. The result is not looked at.
    void sendCommand(const std::string& text);
    // Up to limit characters, collected for at most 500 ms from the call.
    std::string readReply(int limit);
    // Repeats "\n", "idn? k\n", "\n", a pause of pauseMs and a read until
    // the reply holds ">>". False only when asked to stop. A long silence
    // is told in the state's status text (as is the answer after it).
    bool waitPromptIdn(int pauseMs);
    // Reads; while the reply lacks ">>": "\n", 1000 ms, read again. False
    // only when asked to stop.
    bool waitPromptNewline();
    // Waits ms (scaled). False when asked to stop.
    bool pause(int ms);
    // Waits ms of real time, unscaled, in steps of at most 100 ms. False when asked to stop.
    bool pauseUnscaled(int ms);

    bool stopped() const { return env.stopRequested(); }
    CommLink& link() { return link_; }
    // Counts the time of every pause toward the running part of the
    // upgrade's progress, so the percent moves through long pauses too.
    void setProgress(UpgradeProgress* value) { progress = value; }

private:
    // After this long without a prompt the status text says so.
    static constexpr std::uint32_t kSilenceNoticeMs = 20000;

    void watchPort();
    // Says in the status text that the unit has not answered since `since`
    // (every 10 s once kSilenceNoticeMs have passed).
    void noteSilence(std::uint32_t since);
    // The prompt came: says so when the silence was reported. Always true.
    bool answered();

    CommLink& link_;
    const EngineEnv& env;
    UpgradeState& state;
    ReopeningPort* port;
    UpgradeProgress* progress = nullptr;
    std::uint32_t nextRecoverMs = 0;
    bool reportedLoss = false;
    bool waitingAfterReturn = false;  // the port came back; no prompt since
    std::uint32_t silenceReported = 0;  // the silence last reported, in whole seconds
};

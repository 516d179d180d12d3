// Console commands, replies, prompt waits and pauses over the worker's link.
#include "engine/ConsoleSession.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "comlink/CommLink.h"
#include "engine/ReopeningPort.h"
#include "engine/UpgradeProgress.h"
#include "engine/UpgradeState.h"

ConsoleSession::ConsoleSession(CommLink& link, const EngineEnv& env_, UpgradeState& state_, ReopeningPort* port_)
    : link_(link), env(env_), state(state_), port(port_)
{
}

void ConsoleSession::sendCommand(const std::string& text)
{
    if (stopped())
        return;
    link_.writeLine(text.c_str(), TERM_LF);
    watchPort();
}

std::string ConsoleSession::readReply(int limit)
{
    // One read of up to 500 ms, taken in slices of at most 100 ms so that a
    // stop request is seen in time; the slices add up to the same read.
    std::string reply;
    const std::uint32_t end = link_.tickMs() + kReplyTimeoutMs;
    std::vector<char> buffer(static_cast<std::size_t>(limit) + 1, '\0');
    while (static_cast<int>(reply.size()) < limit && !stopped()) {
        const std::uint32_t now = link_.tickMs();
        if (!tickBefore(now, end))
            break;
        const int slice = static_cast<int>(std::min<std::uint32_t>(end - now, 100));
        const unsigned room = static_cast<unsigned>(limit - static_cast<int>(reply.size()));
        const int n = link_.readString(buffer.data(), room, -1, slice);
        if (n < 0) {
            // The port failed: the read still takes its time, so that a
            // loop around it cannot spin.
            watchPort();
            const std::uint32_t left = end - link_.tickMs();
            if (tickBefore(link_.tickMs(), end))
                pauseUnscaled(static_cast<int>(std::min<std::uint32_t>(left, 100)));
            continue;
        }
        reply.append(buffer.data(), static_cast<std::size_t>(std::min<unsigned>(static_cast<unsigned>(n), room)));
    }
    if (env.stats != nullptr)
        env.stats->replyWaitMs += static_cast<long long>(link_.tickMs() - (end - kReplyTimeoutMs));
    return reply;
}

bool ConsoleSession::waitPromptIdn(int pauseMs)
{
    const std::uint32_t since = link_.tickMs();
    for (;;) {
        sendCommand("\n");
        sendCommand("idn? k\n");
        sendCommand("\n");
        if (!pause(pauseMs))
            return false;
        if (readReply(kReplyNormal).find(">>") != std::string::npos)
            return answered();
        if (stopped())
            return false;
        noteSilence(since);
    }
}

bool ConsoleSession::waitPromptNewline()
{
    const std::uint32_t since = link_.tickMs();
    std::string reply = readReply(kReplyNormal);
    while (reply.find(">>") == std::string::npos) {
        if (stopped())
            return false;
        noteSilence(since);
        sendCommand("\n");
        if (!pause(1000))
            return false;
        reply = readReply(kReplyNormal);
    }
    return answered();
}

void ConsoleSession::noteSilence(std::uint32_t since)
{
    // The waits have no limit, as the unit expects; a person watching must
    // still learn that the line has gone quiet, rather than guess.
    const std::uint32_t silentMs = link_.tickMs() - since;
    if (silentMs < kSilenceNoticeMs || (port != nullptr && port->lost()))
        return;
    const std::uint32_t seconds = silentMs / 1000 / 10 * 10;
    if (seconds == silenceReported)
        return;
    silenceReported = seconds;
    state.setStatusText("No answer from the unit for " + std::to_string(seconds)
                        + " s; still asking for its prompt. Check the cable, and that the unit is on and in its"
                          " software-update mode.");
}

bool ConsoleSession::answered()
{
    // A reported silence or a port that came back is closed by this answer,
    // so the notice never outlives what it speaks of.
    if (silenceReported != 0 || waitingAfterReturn)
        state.setStatusText("The unit answers again.");
    silenceReported = 0;
    waitingAfterReturn = false;
    return true;
}

bool ConsoleSession::pause(int ms)
{
    const int scaled = static_cast<int>(ms * env.pauseScale + 0.5);
    if (env.stats != nullptr)
        env.stats->pauseMs += scaled;
    return pauseUnscaled(scaled);
}

bool ConsoleSession::pauseUnscaled(int ms)
{
    std::uint32_t counted = link_.tickMs();
    const std::uint32_t end = counted + static_cast<std::uint32_t>(std::max(ms, 0));
    for (;;) {
        if (stopped())
            return false;
        const std::uint32_t now = link_.tickMs();
        if (progress != nullptr && now != counted) {
            // Time spent waiting for a device that went away is no progress.
            if (port == nullptr || !port->lost())
                progress->waited(static_cast<int>(now - counted));
            counted = now;
        }
        if (!tickBefore(now, end))
            return true;
        // Sleep until the pause ends, looking at the stop request at least
        // every 100 ms.
        if (link_.idle(static_cast<int>(std::min<std::uint32_t>(end - now, 100))) < 0) {
            // A failing port returns at once; sleep instead, so the pause
            // lasts its time without spinning, and look after the port.
            watchPort();
            const std::uint32_t left = end - link_.tickMs();
            if (tickBefore(link_.tickMs(), end))
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::uint32_t>(left, 20)));
        }
    }
}

void ConsoleSession::watchPort()
{
    if (port == nullptr || !port->lost())
        return;
    const std::uint32_t now = link_.tickMs();
    if (reportedLoss && tickBefore(now, nextRecoverMs))
        return;
    nextRecoverMs = now + 1000;
    const std::string name = "Comm " + std::to_string(port->portIndex + 1);
    if (!reportedLoss) {
        reportedLoss = true;
        state.setStatusText("The port " + name + " is gone (device removed?). Waiting for it to come back...");
    }
    if (port->recover()) {
        reportedLoss = false;
        waitingAfterReturn = true;
        state.setStatusText("The port " + name + " is back. Waiting for the unit...");
    }
}

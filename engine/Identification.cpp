// The identification worker: which unit answers on the chosen port, at
// which rate, and which firmware set lies beside the program.
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "comlink/CommLink.h"
#include "comlink/PortSettings.h"
#include "engine/ConsoleSession.h"
#include "engine/ControlFile.h"
#include "engine/IdentityReply.h"
#include "engine/VersionText.h"
#include "engine/Workers.h"

namespace {

constexpr int kIdentifyRxQueue = 4096;
constexpr int kIdentifyTxQueue = 2048;

bool holds(const std::string& text, const char* what)
{
    return text.find(what) != std::string::npos;
}

// The animation and the status text, kept in step.
struct Reporter {
    UpgradeState& state;
    const EngineEnv& env;

    void status(const std::string& text, bool caption = true)
    {
        state.setStatusText(text);
        if (caption && env.animation != nullptr)
            env.animation->setCaption(text);
    }
    void post(int wParam)
    {
        if (env.notifier != nullptr)
            env.notifier->post(WM_IDENTIFY_DONE, wParam);
    }
};

// Waits before the port is opened, in real time (no port to idle on yet).
bool settle(const EngineEnv& env)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(env.openDelayMs);
    while (std::chrono::steady_clock::now() < end) {
        if (env.stopRequested())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Steps 5 to 16 on an open link: probe, identity, version, control file.
IdentifyOutcome identifyOnLink(Reporter& rep, CommLink& link, PortSettings& settings)
{
    UpgradeState& state = rep.state;
    ConsoleSession console(link, rep.env, state);
    settings.setBaudRate(38400);
    state.baudRate = 38400;

    console.sendCommand("\n");
    std::string reply = console.readReply(kReplyShort);
    if (!console.pause(200))
        return IdentifyOutcome::Stopped;
    if (!holds(reply, ">>")) {
        settings.setBaudRate(57600);
        state.baudRate = 57600;
        console.sendCommand("\n");
        reply = console.readReply(kReplyShort);
    }
    state.unitKind = parseUnitKind(reply);
    if (!console.pause(200))
        return IdentifyOutcome::Stopped;
    if (!holds(reply, ">>")) {
        char text[80];
        std::snprintf(text, sizeof text, "Error opening COM %d, GO BACK and change settings.",
                      static_cast<int>(state.portIndex) + 1);
        rep.status(text, false);
        rep.post(0);
        return console.stopped() ? IdentifyOutcome::Stopped : IdentifyOutcome::NoUnit;
    }
    // A prompt that shows neither kind would get the other kind's files:
    // such a unit is not upgraded at all.
    if (state.unitKind == UNIT_UNKNOWN) {
        rep.status("A unit answered, but its prompt shows neither \"ne\" (Display Handset) nor \"fe\" (Remote "
                   "Handset); it cannot be upgraded safely. Nothing was sent.",
                   false);
        rep.post(0);
        return console.stopped() ? IdentifyOutcome::Stopped : IdentifyOutcome::UnknownKind;
    }
    if (!console.pause(200))
        return IdentifyOutcome::Stopped;
    rep.status("Found Unit, getting ID...");

    console.sendCommand("getuid\n");
    reply = console.readReply(kReplyShort);
    const GetuidReply identity = parseIdentity(reply);
    // Without "SN=" the serial number stays empty.
    state.setSerialNumber(identity.serial);
    if (!console.pause(100))
        return IdentifyOutcome::Stopped;
    if (identity.model != 0) {
        state.model = identity.model;
        rep.status(identity.modelStatus);
    }

    // A unit without a version cannot be judged: version 0 would send it
    // to customer service. A unit pulled out during the search answers no
    // more, and is no unit found.
    double version = 0;
    bool known = false;
    for (int attempt = 0; attempt < 3 && !known && !console.stopped(); ++attempt) {
        console.sendCommand("idn? k\n");
        known = parseVersion(console.readReply(kReplyShort), version);
    }
    if (console.stopped())
        return IdentifyOutcome::Stopped;
    if (!known) {
        rep.status("A unit answered, but it stopped answering before it reported its firmware version (was it"
                   " unplugged?). Check the cable and search again. Nothing was sent.",
                   false);
        rep.post(0);
        return IdentifyOutcome::NoVersion;
    }
    state.unitVersion = version;

    std::string text;
    if (!readControlText(rep.env.path(kControlFileName), kIdentifyReadLimit, text)) {
        state.raiseError();
        return IdentifyOutcome::NoControlFile;
    }
    double controlVersion = 0;
    if (!readControlVersion(text, state.unitVersion, controlVersion)) {
        state.raiseError();
    } else {
        state.controlVersion = controlVersion;
        state.mode = MODE_UPDATE_ONLY;
    }
    rep.post(1);
    return IdentifyOutcome::Identified;
}

}  // namespace

IdentifyOutcome runIdentification(UpgradeState& state, const EngineEnv& env)
{
    Reporter rep{state, env};
    if (env.animation != nullptr)
        env.animation->create();
    IdentifyOutcome outcome = IdentifyOutcome::Stopped;
    if (settle(env)) {
        state.unitVersion = 0;
        state.mode = MODE_NOT_READY;
        state.model = 0;
        rep.status("Opening Communications Port...");
        const PortOpener open = env.openPort ? env.openPort : platformPortOpener();
        std::unique_ptr<CommPort> port = open(state.portIndex, kIdentifyRxQueue, kIdentifyTxQueue);
        {
            // A port that failed to open is not tested: the probe simply
            // gets no prompt.
            CommLink link(port.get(), env.clock);
            PortSettings settings(&link);
            outcome = identifyOnLink(rep, link, settings);
            settings.restore();
        }
        port.reset();
    }
    if (env.animation != nullptr)
        env.animation->destroy();
    return outcome;
}

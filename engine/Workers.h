// The two workers of the upgrade engine, and the thread that runs one.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "engine/EngineEnv.h"
#include "engine/UpgradeState.h"

// How an identification ended.
enum class IdentifyOutcome {
    Identified,     // WM_IDENTIFY_DONE(1) posted; errorFlag set when the control file had no "Rev"
    NoUnit,         // WM_IDENTIFY_DONE(0) posted; statusText holds the port error text
    UnknownKind,    // a prompt answered without "ne" or "fe": WM_IDENTIFY_DONE(0) posted, statusText says so
    NoVersion,      // a unit answered but not with its version (pulled out?): WM_IDENTIFY_DONE(0), statusText says so
    NoControlFile,  // nothing posted; errorFlag set
    Stopped,        // asked to stop; nothing posted
};

// How an upgrade ended.
enum class UpgradeOutcome {
    Done,     // WM_UPGRADE_DONE(1) posted; finalVersion valid, overallPercent 100
    Failed,   // errorFlag raised, nothing posted; failureText says where and why
    Refused,  // nothing was sent to the unit: errorFlag raised, failureText and refusal say why
    Stopped,  // asked to stop between or during steps; the resume log keeps what was finished
};

// Finds the unit on "Comm portIndex+1": probes at 38400 then 57600 baud,
// reads kind, serial number, model and version, and the firmware set's
// version from "control.upd". Fills the unit fields of state and reports
// through env.notifier. Runs on the calling thread; holds the port only
// while it runs.
IdentifyOutcome runIdentification(UpgradeState& state, const EngineEnv& env);

// Upgrades the identified unit: calibration section, downgrade phase, main
// list, final version and restart. Publishes its progress in state and
// reports success through env.notifier. Runs on the calling thread; holds
// the port for the whole run and opens it again if the device goes away.
UpgradeOutcome runUpgrade(UpgradeState& state, const EngineEnv& env);

// A thread running one worker, with its stop request. The destructor asks
// the worker to stop and waits for it, so a worker never outlives what it
// was given. Owner's thread only (stop may be requested from any thread).
class WorkerThread {
public:
    WorkerThread() = default;
    ~WorkerThread();

    // Starts body on a new thread; a previous run must have been joined.
    void start(std::function<void()> body);
    void requestStop() { stop = true; }
    // True from start() until the body has returned.
    bool running() const { return active.load(); }
    // Waits for the body to return (no-op when none runs).
    void join();
    // The flag to hand to the worker's EngineEnv; cleared by start().
    const std::atomic<bool>& stopFlag() const { return stop; }

    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

private:
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> active{false};
};

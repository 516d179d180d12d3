// The record shared by the front end and the two workers: the unit's
// identity, the chosen mode, the published step list and the progress.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class TransferStatus;

// One slot of a step list as a reader sees it.
struct StepSlot {
    int present = 0;   // 1 when the slot holds an entry; the list ends at the first 0
    std::string name;  // a file name or a keyword of the control file
    int done = 0;      // 1 once carried out
};

// A copy of a step list, taken under its lock.
struct StepListView {
    std::array<StepSlot, 10> slots;
    // The entries before the first empty slot.
    int count() const;
};

// The step list of one upgrade phase: 10 slots, at most 9 used so that the
// list always ends on an empty one. The worker that owns it writes; any
// thread may take a snapshot. Every access locks, so a reader never sees a
// half-written name.
class StepList {
public:
    static constexpr int kSlots = 10;
    static constexpr int kMaxEntries = 9;

    int present(int i) const;
    std::string name(int i) const;
    int done(int i) const;
    // Stores an entry (present 1, done 0). Slots outside 0..8 are ignored.
    void setEntry(int i, const std::string& text);
    void setDone(int i, int value);
    // Present 0, text empty, done 1: a step a resumed run skips.
    void clearSlot(int i);
    StepListView snapshot() const;

private:
    mutable std::mutex lock;
    std::array<StepSlot, kSlots> slots;
};

// Private messages of the workers and the front end; the workers post
// WM_IDENTIFY_DONE and WM_UPGRADE_DONE through an EngineNotifier.
enum EngineMessage : int {
    WM_WIZARD_BUTTONS = 2024,
    WM_START_IDENTIFY = 2025,
    WM_IDENTIFY_DONE = 2026,
    WM_UPGRADE_DONE = 2027,
    WM_UPGRADE_AGAIN = 2028,
    WM_FILE_ERROR = 2029,
};

// Unit kinds.
enum HandsetKind : int {
    UNIT_UNKNOWN = 0,
    UNIT_DISPLAY = 1,  // "NE"
    UNIT_REMOTE = 2,   // "FE"
};

// Upgrade modes.
enum UpgradeMode : int {
    MODE_NOT_READY = 0,
    MODE_UPDATE_ONLY = 1,   // also "identified"
    MODE_NEWER_UNIT = 2,    // the unit is newer than the firmware set
    MODE_REINSTALL = 3,
    MODE_DOWNGRADE = 4,
};

// The one record the front end owns and hands to each worker. Scalars are
// atomics, so a poller never reads a torn value; texts, the step list and
// the transfer status are behind a lock and read as copies or shared
// handles. The front end resets the unit fields only while no worker runs.
class UpgradeState {
public:
    UpgradeState();
    ~UpgradeState();

    std::atomic<std::uint16_t> portIndex{0};
    std::atomic<int> mode{MODE_NOT_READY};
    std::string statusText() const;
    void setStatusText(const std::string& text);
    std::atomic<int> unitKind{UNIT_UNKNOWN};
    std::atomic<int> listReady{0};
    // The transfer status of the current (or last) upgrade; null before one.
    std::shared_ptr<TransferStatus> transferStatus() const;
    void setTransferStatus(std::shared_ptr<TransferStatus> status);
    // The whole upgrade's progress, 0..100, weighted by the estimated time
    // of its parts: rises with the bytes of each transfer, never falls
    // within a run, and reads 100 only once the final version was read.
    std::atomic<int> overallPercent{0};
    // The upgrade's estimated seconds left, scaled by the pace seen so far;
    // -1 while unknown (before the run has its plan, or after it ended
    // without finishing).
    std::atomic<int> secondsLeft{-1};
    std::atomic<double> unitVersion{0};
    std::atomic<int> listShown{0};
    std::atomic<double> finalVersion{0};
    std::string controlFileName() const;
    void setControlFileName(const std::string& name);
    // The step list shown; a fresh empty one at construction. The list
    // stays valid for a holder after it has been replaced.
    std::shared_ptr<StepList> steps() const;
    // Publishes a fresh empty list and returns it.
    std::shared_ptr<StepList> replaceSteps();
    std::atomic<double> controlVersion{0};
    std::atomic<int> model{0};
    std::atomic<int> baudRate{38400};
    std::atomic<int> currentFileSize{0};
    std::string serialNumber() const;
    void setSerialNumber(const std::string& serial);
    std::atomic<int> errorFlag{0};
    // Why the last upgrade failed or was refused, naming the step and the
    // file: "" while nothing failed. The first cause set stands, so a
    // later consequence cannot hide it. Cleared by resetUnit().
    std::string failureText() const;
    void setFailureText(const std::string& text);
    // Why the last upgrade was refused before anything was sent: a Refusal
    // value (UpgradePlan.h), 0 when it was not.
    std::atomic<int> refusal{0};

    // Sets errorFlag and counts the raising, so a reader that polls slower
    // than the flag is raised and cleared can still tell how often it was.
    void raiseError();
    std::atomic<int> errorRaises{0};

    // Clears the unit fields for the next unit (front end, no worker running).
    void resetUnit();

    UpgradeState(const UpgradeState&) = delete;
    UpgradeState& operator=(const UpgradeState&) = delete;

private:
    mutable std::mutex lock;
    std::string status;
    std::string controlFile = "control.upd";
    std::string serial;
    std::string failure;
    std::shared_ptr<StepList> stepList;
    std::shared_ptr<TransferStatus> transfer;
};

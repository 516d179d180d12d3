// How a front end records one upgrade run in the history without ever
// letting the history stop or change the run.
#pragma once

#include <chrono>
#include <string>

#include "engine/UpgradeState.h"
#include "engine/Workers.h"
#include "history/HistoryRecord.h"

// One run's recording: the clock starts at construction. A path of ""
// records nothing.
class HistoryRecording {
public:
    HistoryRecording(std::string path, std::string program);

    bool enabled() const { return !file.empty(); }
    const std::string& path() const { return file; }
    // Starts the clock again, now: the run began long before its unit
    // answered (it waited for the unit), and its record starts then.
    void restartClock();

    // The unit's part of a record from the engine's state: kind, model,
    // serial number, the version before, the version after (the final
    // version when done is set, else 0) and the mode.
    static HistoryRecord unitRecord(const UpgradeState& state, double versionBefore, int mode, bool done);

    // Stamps the record with the program, the start and the end (now) and
    // its duration, and adds it to the history. Returns "" when it was
    // written, else the one warning to show; the caller carries on either way.
    std::string write(HistoryRecord record) const;

private:
    std::string file;
    std::string program;
    std::chrono::system_clock::time_point startedAt;
    std::chrono::steady_clock::time_point startedTick;
};

// The status the history records for an upgrade worker's outcome, as
// unitflash-cli would end with it: 0 done, 1 failed, the refusal's status
// (refusalStatus), 130 stopped.
int upgradeOutcomeStatus(UpgradeOutcome outcome, int refusal);

// "update", "reinstall" or "downgrade" for an upgrade mode; "" for others.
std::string historyModeName(int mode);

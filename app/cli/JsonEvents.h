// unitflash-cli --json: the run's events as one JSON object per line, for
// scripts that drive the program.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/EngineEnv.h"
#include "engine/ProgressSnapshot.h"
#include "engine/UpgradeState.h"

struct SectionCheck;
struct UnitRun;

// Writes events to out, each flushed as it is written. Every object has an
// "event" field naming it. One thread.
class JsonEvents {
public:
    explicit JsonEvents(std::FILE* out) : out(out) {}

    // The unit found: kind, model, serial, version, rate, port; with
    // setVersion (the set's version for this unit, or null) when asked.
    void identified(const UpgradeState& state, const std::string& port, bool withSet, bool setFound);
    // One list of a checked set.
    void section(const SectionCheck& section);
    void notice(const std::string& text);
    // check: an unfinished carry-over in the set.
    void carryOver(const std::string& folder, const std::string& serial, const std::string& step);
    // "finished" for status 0, "failed" otherwise, with the cause.
    void finished(int status, const std::string& cause);
    // The end of an --each run: one entry per unit taken, in order, and
    // the run's exit status.
    void summary(const std::vector<UnitRun>& units, int status);

    // Step and transfer events of an upgrade from one poll of the record:
    // the list shown (a new list begins the next phase; the steps of the
    // one it replaced are reported to their end first) and a snapshot.
    // Transfer progress at most once a second (nowMs, milliseconds).
    void upgradePoll(const std::shared_ptr<StepList>& list, const ProgressSnapshot& snap, std::uint32_t nowMs);
    // The phases the upgrade will go through, in order ("calibration",
    // "downgrade", "main"); later lists count as "main".
    void setPhases(std::vector<std::string> names) { phases = std::move(names); }

private:
    void write(const std::string& line);
    void stepEvents(const StepListView& steps);
    std::string phaseName() const;

    std::FILE* out;
    std::vector<std::string> phases;
    std::shared_ptr<StepList> list;
    std::size_t phase = 0;
    std::vector<int> started;   // slots reported as started in this phase
    std::vector<int> done;      // slots reported as done in this phase
    std::string lastNotice;     // the progress notice last reported
    bool progressShown = false;
    std::uint32_t progressMs = 0;
    unsigned lastBytes = 0;
    int lastPercent = -1;
    std::string lastFile;
};

// The phases an upgrade of the identified unit in state.mode goes through
// with the set in env: "calibration" when the set has the unit's
// calibration list, "downgrade" for a downgrade, then "main".
std::vector<std::string> upgradePhases(const UpgradeState& state, const EngineEnv& env);

// "display", "remote" or "unknown".
std::string unitKindKey(int unitKind);

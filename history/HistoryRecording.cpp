// Recording one upgrade run in the history.
#include "history/HistoryRecording.h"

#include "engine/UpgradePlan.h"
#include "history/HistoryStore.h"

HistoryRecording::HistoryRecording(std::string path, std::string program)
    : file(std::move(path)), program(std::move(program)), startedAt(std::chrono::system_clock::now()),
      startedTick(std::chrono::steady_clock::now())
{
}

void HistoryRecording::restartClock()
{
    startedAt = std::chrono::system_clock::now();
    startedTick = std::chrono::steady_clock::now();
}

HistoryRecord HistoryRecording::unitRecord(const UpgradeState& state, double versionBefore, int mode, bool done)
{
    HistoryRecord r;
    r.kind = state.unitKind == UNIT_DISPLAY ? "Display Handset"
        : state.unitKind == UNIT_REMOTE     ? "Remote Handset"
                                            : "";
    r.model = state.model;
    r.serial = state.serialNumber();
    r.versionBefore = versionBefore;
    r.versionAfter = done ? state.finalVersion.load() : 0.0;
    r.mode = historyModeName(mode);
    return r;
}

std::string HistoryRecording::write(HistoryRecord record) const
{
    if (!enabled())
        return "";
    record.program = program;
    record.started = utcText(startedAt);
    record.ended = utcText(std::chrono::system_clock::now());
    record.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - startedTick).count();
    HistoryStore store;
    std::string error;
    if (store.open(file, error) && store.add(record, error))
        return "";
    return "warning: the upgrade history \"" + file + "\" cannot be written: " + error + "; the upgrade goes on";
}

int upgradeOutcomeStatus(UpgradeOutcome outcome, int refusal)
{
    switch (outcome) {
    case UpgradeOutcome::Done:
        return 0;
    case UpgradeOutcome::Failed:
        return 1;
    case UpgradeOutcome::Refused:
        return refusalStatus(static_cast<Refusal>(refusal));
    case UpgradeOutcome::Stopped:
        break;
    }
    return 130;
}

std::string historyModeName(int mode)
{
    switch (mode) {
    case MODE_UPDATE_ONLY:
        return "update";
    case MODE_REINSTALL:
        return "reinstall";
    case MODE_DOWNGRADE:
        return "downgrade";
    default:
        return "";
    }
}

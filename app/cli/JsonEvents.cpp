// The JSON lines of unitflash-cli --json.
#include "app/cli/JsonEvents.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "app/cli/CliRun.h"
#include "app/cli/CliTexts.h"
#include "app/cli/ProgressView.h"
#include "engine/ControlFile.h"
#include "engine/SetCheck.h"

namespace {

constexpr std::uint32_t kProgressIntervalMs = 1000;

bool holdsSlot(const std::vector<int>& slots, int i)
{
    return std::find(slots.begin(), slots.end(), i) != slots.end();
}

}  // namespace

std::string unitKindKey(int unitKind)
{
    if (unitKind == UNIT_DISPLAY)
        return "display";
    if (unitKind == UNIT_REMOTE)
        return "remote";
    return "unknown";
}

void JsonEvents::write(const std::string& line)
{
    std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out);
}

void JsonEvents::identified(const UpgradeState& state, const std::string& port, bool withSet, bool setFound)
{
    nlohmann::json e{{"event", "identified"},
                     {"kind", unitKindKey(state.unitKind)},
                     {"model", state.model.load()},
                     {"serial", state.serialNumber()},
                     {"version", state.unitVersion.load()},
                     {"rate", state.baudRate.load()},
                     {"port", port}};
    if (withSet)
        e["setVersion"] = setFound ? nlohmann::json(state.controlVersion.load()) : nlohmann::json();
    write(e.dump());
}

void JsonEvents::section(const SectionCheck& s)
{
    nlohmann::json e{{"event", "section"},
                     {"model", s.model},
                     {"kind", unitKindKey(s.unitKind)},
                     {"mode", modeName(s.mode)},
                     {"section", s.section},
                     {"calibration", s.calibration},
                     {"version", s.mode == MODE_DOWNGRADE ? nlohmann::json() : nlohmann::json(s.version)},
                     {"complete", s.ok()},
                     {"missing", s.missing}};
    if (!s.badList.empty())
        e["badList"] = s.badList;
    write(e.dump());
}

void JsonEvents::carryOver(const std::string& folder, const std::string& serial, const std::string& step)
{
    write(nlohmann::json{{"event", "carryOver"}, {"folder", folder}, {"serial", serial}, {"step", step}}.dump());
}

void JsonEvents::notice(const std::string& text)
{
    write(nlohmann::json{{"event", "notice"}, {"text", text}}.dump());
}

void JsonEvents::finished(int status, const std::string& cause)
{
    nlohmann::json e{{"event", status == 0 ? "finished" : "failed"}, {"status", status}};
    if (!cause.empty())
        e["cause"] = cause;
    write(e.dump());
}

void JsonEvents::summary(const std::vector<UnitRun>& units, int status)
{
    nlohmann::json list = nlohmann::json::array();
    for (const UnitRun& u : units)
        list.push_back({{"serial", u.serial},
                        {"kind", unitKindKey(u.unitKind)},
                        {"model", u.model},
                        {"before", u.versionBefore},
                        {"after", u.versionAfter},
                        {"status", u.status},
                        {"cause", u.status == 0 ? std::string() : u.cause},
                        {"seconds", static_cast<long>(u.seconds + 0.5)}});
    write(nlohmann::json{{"event", "summary"}, {"units", list}, {"status", status}}.dump());
}

std::string JsonEvents::phaseName() const
{
    return phase < phases.size() ? phases[phase] : std::string("main");
}

void JsonEvents::stepEvents(const StepListView& steps)
{
    const int running = runningStep(steps);
    for (const int i : shownSteps(steps)) {
        const StepSlot& slot = steps.slots[static_cast<std::size_t>(i)];
        // A step that began and ended between two polls is still reported
        // as started first.
        if ((i == running || slot.done) && !holdsSlot(started, i)) {
            started.push_back(i);
            write(nlohmann::json{{"event", "stepStarted"}, {"phase", phaseName()}, {"slot", i}, {"name", slot.name}}
                      .dump());
        }
        if (slot.done && !holdsSlot(done, i)) {
            done.push_back(i);
            write(nlohmann::json{{"event", "stepDone"}, {"phase", phaseName()}, {"slot", i}, {"name", slot.name}}
                      .dump());
        }
    }
}

void JsonEvents::upgradePoll(const std::shared_ptr<StepList>& now, const ProgressSnapshot& snap, std::uint32_t nowMs)
{
    if (now != list) {
        // The replaced list stays readable: its last steps are reported
        // before the next phase's. A list that never held an entry (the
        // fresh one a run begins with) is no phase.
        if (list) {
            const StepListView last = list->snapshot();
            stepEvents(last);
            if (last.count() != 0)
                ++phase;
        }
        list = now;
        started.clear();
        done.clear();
    }
    stepEvents(snap.steps);
    if (snap.notice != lastNotice) {
        lastNotice = snap.notice;
        if (!snap.notice.empty())
            notice(snap.notice);
    }
    const bool moved = snap.bytes != lastBytes || snap.overallPercent != lastPercent || snap.fileName != lastFile;
    if (moved && (!progressShown || nowMs - progressMs >= kProgressIntervalMs)) {
        progressShown = true;
        progressMs = nowMs;
        lastBytes = snap.bytes;
        lastPercent = snap.overallPercent;
        lastFile = snap.fileName;
        const bool noFile = snap.fileName.empty() || snap.fileName == "<None>";
        write(nlohmann::json{{"event", "progress"},
                             {"file", noFile ? std::string() : baseName(snap.fileName)},
                             {"bytes", snap.bytes},
                             {"size", snap.fileSize > 1 ? snap.fileSize : 0},
                             {"percent", snap.overallPercent},
                             {"secondsLeft", snap.secondsLeft}}
                  .dump());
    }
}

std::vector<std::string> upgradePhases(const UpgradeState& state, const EngineEnv& env)
{
    std::vector<std::string> phases;
    const int model = state.model == 7300 || state.model == 7350 ? 7355 : state.model.load();
    const std::string mainName = mainSectionName(sectionKey(model, state.unitKind), state.mode);
    std::string text;
    if (readControlText(env.path(kControlFileName), kUpgradeReadLimit, text)
        && findSection(text, calibrationSectionName(mainName)) > 0)
        phases.push_back("calibration");
    if (state.mode == MODE_DOWNGRADE)
        phases.push_back("downgrade");
    phases.push_back("main");
    return phases;
}

// unitflash-cli check: what a firmware set can upgrade and what it lacks.
#include "app/cli/CheckCommand.h"

#include <cstdio>

#include "app/cli/CliSession.h"
#include "app/cli/CliTexts.h"
#include "app/cli/JsonEvents.h"
#include "engine/SetCheck.h"
#include "engine/UnitFolder.h"

namespace {

struct Output {
    CliConsole& console;
    std::string cause;

    void say(const std::string& text)
    {
        std::fprintf(console.out, "%s\n", text.c_str());
        std::fflush(console.out);
    }
    void complain(const std::string& text)
    {
        cause = text;
        std::fprintf(console.err, "unitflash-cli: %s\n", text.c_str());
        std::fflush(console.err);
    }
};

std::string version(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%5.3f", v);
    return text;
}

// "  7355 Display Handset  reinstall  to 1.312  (7355NE, with calibration): complete"
std::string sectionLine(const SectionCheck& s)
{
    char text[256];
    // A downgrade ends at the version of the unit's backup and the
    // downgrade list, which only the unit tells afterwards.
    const std::string to = s.mode == MODE_DOWNGRADE ? std::string("to its backup") : "to " + version(s.version);
    std::snprintf(text, sizeof text, "  %d %-15s  %-9s  %-13s  (%s%s): ", s.model, unitKindName(s.unitKind).c_str(),
                  modeName(s.mode).c_str(), to.c_str(), s.section.c_str(), s.calibration ? ", with calibration" : "");
    std::string line = text;
    switch (s.problem) {
    case Refusal::None:
        return line + "complete";
    case Refusal::BadSection:
        return line + "the list \"" + s.badList + "\" cannot be read whole";
    default:
        break;
    }
    line += "missing";
    for (const std::string& name : s.missing)
        line += " " + name;
    return line;
}

// The units whose calibration carry-over is unfinished: their tables may
// wait on disk for the unit's next run, so a depot wants to see them.
void showCarryOvers(Output& out, const EngineEnv& env)
{
    const std::vector<PendingCarryOver> pending = unfinishedCarryOvers(env);
    if (pending.empty())
        return;
    out.say("Unfinished calibration carry-overs (the unit's next run with this set finishes it):");
    for (const PendingCarryOver& p : pending) {
        const std::string who = p.serial.empty() ? std::string("(no serial number)") : p.serial;
        const std::string where = p.step.empty() ? std::string("before its first step") : "after " + p.step;
        out.say("  " + who + "  stopped " + where + "  in "
                + (p.folder == "." ? std::string("the set folder (left by an older version)") : p.folder));
        if (out.console.events != nullptr)
            out.console.events->carryOver(p.folder, p.serial, p.step);
    }
}

int checkSet(Output& out, const CheckRequest& request)
{
    EngineEnv env;
    if (std::string problem; !findFirmwareSet(request.workDir, env.workDir, problem)) {
        out.complain(problem);
        return CLI_EXIT_USAGE;
    }
    const SetCheck set = checkFirmwareSet(env);
    if (!set.readable) {
        out.complain("missing firmware set: control.upd cannot be read.");
        return CLI_EXIT_USAGE;
    }
    if (!set.hasVersion) {
        out.complain("missing firmware set: control.upd holds no version (\"Rev\").");
        return CLI_EXIT_USAGE;
    }
    out.say("Firmware set \"" + env.workDir + "\": version " + version(set.version) + " (units below 2.000), "
            + version(set.version2) + " (units from 2.000)");
    for (const SectionCheck& section : set.sections) {
        out.say(sectionLine(section));
        if (out.console.events != nullptr)
            out.console.events->section(section);
    }
    showCarryOvers(out, env);
    if (set.sections.empty()) {
        out.complain("control.upd holds no list for any model: this set cannot upgrade a unit.");
        return CLI_EXIT_SET_LACKS;
    }
    if (!set.complete()) {
        out.complain("the firmware set lacks files, or has a list that cannot be read whole (see above); "
                     "programs must be executable.");
        return CLI_EXIT_SET_LACKS;
    }
    out.say("Every list of the set has its files.");
    return CLI_EXIT_DONE;
}

}  // namespace

int runCheck(const CheckRequest& request, CliConsole& console)
{
    Output out{console, {}};
    const int status = checkSet(out, request);
    if (console.events != nullptr)
        console.events->finished(status, out.cause);
    return status;
}

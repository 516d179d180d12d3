// unitflash-cli: upgrades the firmware of one unit from the command line.
#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <map>

#include "app/cli/CheckCommand.h"
#include "app/cli/CliRun.h"
#include "app/cli/CliTerminal.h"
#include "app/cli/CliTexts.h"
#include "app/cli/EachRun.h"
#include "app/cli/HistoryCommand.h"
#include "app/cli/IdentifyCommand.h"
#include "app/cli/JsonEvents.h"

namespace {

bool askOnTerminal(const std::string& question)
{
    std::fputs(question.c_str(), stdout);
    std::fflush(stdout);
    char answer[64];
    if (std::fgets(answer, sizeof answer, stdin) == nullptr)
        return false;
    return std::tolower(static_cast<unsigned char>(answer[0])) == 'y';
}

const char* const kPortHelp = "\"Comm N\", a number N (the same), or a device path such as /dev/ttyUSB0 "
                              "(default \"Comm 1\")";
const char* const kJsonHelp = "Write the run's events to standard output as one JSON object per line; "
                              "the messages for people go to standard error";

void addTestOptions(CLI::App& app, double& pauseScale, int& openDelayMs)
{
    app.add_option("--pause-scale", pauseScale, "Test and demo option: multiplies the fixed console pauses (default 1)")
        ->type_name("X")
        ->check(CLI::Range(0.0, 100.0));
    app.add_option("--open-delay-ms", openDelayMs,
                   "Test and demo option: wait before the port is opened (default 5000)")
        ->type_name("N")
        ->check(CLI::Range(0, 600000));
}

// The upgrade's options, on the program itself (the default command) and
// on "upgrade".
void addUpgradeOptions(CLI::App& app, CliRequest& request, std::string& mode, bool& json)
{
    app.add_option("--port", request.port, kPortHelp)->type_name("PORT");
    app.add_option("--mode", mode,
                   "update (the files of the update list), reinstall (every file; the default) or "
                   "downgrade (the unit's backup image, then the downgrade list)")
        ->type_name("MODE")
        ->check(CLI::IsMember({"update", "reinstall", "downgrade"}, CLI::ignore_case));
    app.add_option("--workdir", request.workDir,
                   "The firmware set (control.upd, images, Kcnv, Lcnv, header); default the current directory")
        ->type_name("DIR");
    app.add_option("--trace", request.traceFile,
                   "Write every byte sent and received to FILE with its time, as text and one line per block")
        ->type_name("FILE");
    app.add_flag("-y,--yes", request.assumeYes, "Upgrade without asking for confirmation");
    app.add_flag("--json", json, std::string(kJsonHelp) + " (needs --yes)");
    app.add_flag("--allow-older-set", request.allowOlderSet,
                 "Install the set even when the unit's firmware is newer than the set");
    app.add_flag("--discard-pending", request.discardPending,
                 "The unit reports no serial number and the set holds the unfinished carry-over of a unit "
                 "without one: it is another unit, upgrade it in a folder of its own (that carry-over is kept)");
    app.add_flag("--wait", request.wait,
                 "When no unit answers, search again about every second until one does (Ctrl-C ends the wait), "
                 "so the program can be started before the unit is plugged in");
    app.add_flag("--each", request.each,
                 "Upgrade one unit after another on the port: after each unit wait for the next (another serial "
                 "number) until Ctrl-C, then print a summary of them all (implies --wait)");
    app.add_flag("--resume-unnamed", request.resumeUnnamed,
                 "The unit reports no serial number and the set holds the unfinished carry-over of a unit "
                 "without one: it is this unit, resume it");
    addTestOptions(app, request.pauseScale, request.openDelayMs);
}

CLI::App* addUpgradeCommand(CLI::App& app, CliRequest& request, std::string& mode, bool& json,
                            HistoryChoice& history)
{
    CLI::App* command = app.add_subcommand(
        "upgrade", "Upgrade the unit (what the program does without a command word; the options are the same)");
    addUpgradeOptions(*command, request, mode, json);
    addHistoryOptions(*command, history);
    return command;
}

// identify and check take their options into the upgrade's request too, so
// that "--port P identify" means what "identify --port P" does.
CLI::App* addIdentifyCommand(CLI::App& app, CliRequest& request, bool& json)
{
    CLI::App* command = app.add_subcommand(
        "identify", "Find the unit and show its kind, model, serial number, version and rate; sends nothing else");
    command->add_option("--port", request.port, kPortHelp)->type_name("PORT");
    command->add_option("--workdir", request.workDir,
                        "The firmware set whose version is shown, if there is one; default the current directory")
        ->type_name("DIR");
    command->add_flag("--json", json, kJsonHelp);
    addTestOptions(*command, request.pauseScale, request.openDelayMs);
    return command;
}

CLI::App* addCheckCommand(CLI::App& app, CliRequest& request, bool& json)
{
    CLI::App* command = app.add_subcommand(
        "check", "Check the firmware set without a unit: what it can upgrade, to which version, what it lacks");
    command->add_option("--workdir", request.workDir, "The firmware set; default the current directory")
        ->type_name("DIR");
    command->add_flag("--json", json, kJsonHelp);
    return command;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Upgrades the firmware of one handheld unit (Display or Remote Handset) "
                 "connected to a serial port, from the firmware set in DIR. Without a command word it upgrades."};
    app.footer(exitStatusHelp());
    app.require_subcommand(0, 1);
    CliRequest request;
    std::string mode = "reinstall";
    bool json = false;
    HistoryChoice history;
    addUpgradeOptions(app, request, mode, json);
    addHistoryOptions(app, history);
    addUpgradeCommand(app, request, mode, json, history);
    const CLI::App* identify = addIdentifyCommand(app, request, json);
    const CLI::App* check = addCheckCommand(app, request, json);
    HistoryQuery query;
    const CLI::App* historyCommand = addHistoryCommand(app, query);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? CLI_EXIT_DONE : CLI_EXIT_USAGE;
    }
    if (*historyCommand) {
        if (query.where.file.empty())
            query.where.file = history.file;  // "--history FILE history"
        return runHistoryCommand(query, stdout, stderr);
    }
    request.historyFile = history.path();

    static std::atomic<int> interrupts{0};
    installInterruptHandler(interrupts);
    CliConsole console;
    console.confirm = askOnTerminal;
    console.interrupts = &interrupts;
    // With --json standard output carries the events alone; the display
    // moves to standard error as plain lines.
    JsonEvents events(stdout);
    if (json) {
        console.out = stderr;
        console.events = &events;
    } else {
        console.inPlace = prepareInPlaceOutput();
    }

    if (*identify)
        return runIdentify(IdentifyRequest{request.port, request.workDir, request.pauseScale, request.openDelayMs},
                           console);
    if (*check)
        return runCheck(CheckRequest{request.workDir}, console);
    const std::map<std::string, int> modes{
        {"update", MODE_UPDATE_ONLY}, {"reinstall", MODE_REINSTALL}, {"downgrade", MODE_DOWNGRADE}};
    for (char& c : mode)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    request.mode = modes.at(mode);
    return request.each ? runEach(request, console) : runCli(request, console);
}

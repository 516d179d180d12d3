// unitflash-cli: upgrades the firmware of one unit from the command line.
#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <map>

#include "app/cli/CliRun.h"
#include "app/cli/CliTerminal.h"
#include "app/cli/CliTexts.h"
#include "app/cli/HistoryCommand.h"

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

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Upgrades the firmware of one handheld unit (Display or Remote Handset) "
                 "connected to a serial port, from the firmware set in DIR."};
    app.footer(exitStatusHelp());
    CliRequest request;
    const std::map<std::string, int> modes{
        {"update", MODE_UPDATE_ONLY}, {"reinstall", MODE_REINSTALL}, {"downgrade", MODE_DOWNGRADE}};
    std::string mode = "reinstall";
    app.add_option("--port", request.port,
                   "\"Comm N\", a number N (the same), or a device path such as /dev/ttyUSB0 "
                   "(default \"Comm 1\")")
        ->type_name("PORT");
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
    app.add_flag("--allow-older-set", request.allowOlderSet,
                 "Install the set even when the unit's firmware is newer than the set");
    app.add_flag("--discard-pending", request.discardPending,
                 "When another unit's calibration carry-over is unfinished in the set, rename its log and "
                 "downloaded tables aside (\"SERIAL-pending-N-...\") and go on with this unit");
    app.add_flag("--resume-unnamed", request.resumeUnnamed,
                 "The unit reports no serial number and the set holds the unfinished carry-over of a unit "
                 "without one: it is this unit, resume it");
    app.add_option("--pause-scale", request.pauseScale,
                   "Test and demo option: multiplies the fixed console pauses (default 1)")
        ->type_name("X")
        ->check(CLI::Range(0.0, 100.0));
    app.add_option("--open-delay-ms", request.openDelayMs,
                   "Test and demo option: wait before the port is opened (default 5000)")
        ->type_name("N")
        ->check(CLI::Range(0, 600000));
    HistoryChoice history;
    addHistoryOptions(app, history);
    HistoryQuery query;
    CLI::App* historyCommand = addHistoryCommand(app, query);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? CLI_EXIT_DONE : CLI_EXIT_USAGE;
    }
    if (historyCommand->parsed()) {
        if (query.where.file.empty())
            query.where.file = history.file;  // "--history FILE history"
        return runHistoryCommand(query, stdout, stderr);
    }
    request.historyFile = history.path();
    for (char& c : mode)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    request.mode = modes.at(mode);

    static std::atomic<int> interrupts{0};
    installInterruptHandler(interrupts);
    CliConsole console;
    console.inPlace = prepareInPlaceOutput();
    console.confirm = askOnTerminal;
    console.interrupts = &interrupts;
    return runCli(request, console);
}

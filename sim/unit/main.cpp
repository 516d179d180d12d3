// unitsim: a virtual handheld unit in software-update mode on a virtual
// serial line; prints the device a host opens to talk to it.
#include <CLI/CLI.hpp>

#include <atomic>
#include <csignal>

#include "sim/unit/UnitsimRun.h"

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void onSignal(int)
{
    stopRequested.store(true);
}

// Reads the command line into request. -1 to go on; otherwise the exit
// status (help, or a usage error CLI11 has reported).
int parseArgs(int argc, char** argv, UnitsimRequest& request)
{
    CLI::App app{"A virtual Display or Remote Handset in software-update mode on a virtual\n"
                 "serial line. Prints the device a host opens (\"device: PATH\"); runs until\n"
                 "interrupted, the idle limit passes or a power-cut fault strikes."};
    UnitIdentity& id = request.identity;
    std::string kindText = "ne";
    double version = 0;
    UnitBehaviour& behaviour = request.behaviour;
    int idleLimitS = 1800;

    app.add_option("--kind", kindText, "Unit kind: ne (Display Handset) or fe (Remote Handset)")
        ->check(CLI::IsMember({"ne", "fe", "NE", "FE"}));
    app.add_option("--model", id.model, "7300, 7350, 7355 or 7410")
        ->check(CLI::IsMember({7300, 7350, 7355, 7410}));
    app.add_flag("--j-model", id.jModel, "Report the model as \"Model=J7355\"");
    app.add_option("--serial", id.serial, "Serial number: 9 upper-case letters or digits");
    app.add_flag("--no-serial", id.noSerial, "Answer \"getuid\" without a serial number");
    app.add_option("--version", version,
                   "Firmware version (default 1.221, or 2.013 for the 7410)");
    app.add_option("--baud", id.baud, "The one rate the unit answers at: 38400 or 57600")
        ->check(CLI::IsMember({38400, 57600}));
    app.add_flag("--plain-version", id.plainVersion,
                 "Answer \"idn? k\" with \"(1.312)\" instead of \"(K 1.312)\"");
    app.add_option("--link", request.linkPath, "Make a symbolic link to the host's device here");
    app.add_flag("--no-pacing", request.noPacing, "Deliver bytes at once instead of at the baud rate");
    app.add_option("--latency-us", request.latencyUs, "Delay every byte on the line by this much");
    app.add_option("--boot-ms", behaviour.bootMs,
                   "Silence after \"boot\" or \"reboot\" (default 2000); what arrives meanwhile "
                   "is lost and logged")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--start-request-ms", behaviour.startRequestMs,
                   "How often the unit asks for the first block of an upload (1..5000, default 1000)")
        ->check(CLI::Range(1, 5000));
    app.add_option("--upload-wait-ms", behaviour.uploadWaitMs,
                   "How long the unit asks for the first block of an upload before it gives up "
                   "(default 20000)")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--transcript", request.transcriptPath, "Write a JSON-lines transcript here");
    app.add_option("--state", request.stateDir,
                   "Load the unit from this directory when it holds a state; dump into it at exit");
    app.add_option("--calibration", request.calibrationPath,
                   "Factory calibration image instead of the generated one");
    app.add_option("--power-cut-after", behaviour.powerCutAfter,
                   "Fault: power cut after carrying out the N-th command (counting only those "
                   "holding --power-cut-match): dump the state, then stay silent until "
                   "interrupted (exit status 3)")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--power-cut-match", behaviour.powerCutMatch,
                   "Fault: count only commands holding TEXT towards --power-cut-after "
                   "(which then defaults to 1)");
    app.add_option("--cancel-uploads", behaviour.cancelUploads,
                   "Fault: cancel K uploads after their first block (by default the first K)")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--cancel-uploads-from", behaviour.cancelUploadsFrom,
                   "Fault: the uploads to cancel start with the N-th the unit receives")
        ->check(CLI::PositiveNumber);
    app.add_option("--cancel-upload-match", behaviour.cancelUploadMatch,
                   "Fault: cancel only uploads whose first block holds TEXT "
                   "(--cancel-uploads then defaults to 1)");
    app.add_option("--cancel-downloads", behaviour.cancelDownloads,
                   "Fault: cancel K downloads after their first block (by default the first K)")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--cancel-download-match", behaviour.cancelDownloadMatch,
                   "Fault: spoil only downloads whose command holds TEXT "
                   "(--cancel-downloads then defaults to 1)");
    app.add_option("--short-download", behaviour.shortDownloadBytes,
                   "Fault: instead of cancelling them, send only the first BYTES of the spoiled "
                   "downloads and end them normally")
        ->check(CLI::PositiveNumber);
    app.add_option("--noise", request.noiseRate, "Fault: replace this share of the bytes on the line")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--noise-seed", request.noiseSeed, "Seed of the line noise");
    app.add_option("--idle-limit", idleLimitS,
                   "Stop after this many seconds without a received byte; 0 never")
        ->check(CLI::NonNegativeNumber);
    CLI11_PARSE(app, argc, argv);

    // A match text alone picks the first command or transfer it matches.
    auto oneByDefault = [&](const char* option, int& count) {
        if (app.count(option) == 0 && count == 0)
            count = 1;
    };
    if (!behaviour.powerCutMatch.empty())
        oneByDefault("--power-cut-after", behaviour.powerCutAfter);
    if (!behaviour.cancelUploadMatch.empty())
        oneByDefault("--cancel-uploads", behaviour.cancelUploads);
    if (!behaviour.cancelDownloadMatch.empty() || behaviour.shortDownloadBytes > 0)
        oneByDefault("--cancel-downloads", behaviour.cancelDownloads);

    parseUnitKind(kindText, id.kind);
    id.version = consoleVersion(version > 0 ? version : defaultUnitVersion(id.model));
    behaviour.idleLimitMs = idleLimitS * 1000;
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    UnitsimRequest request;
    if (int status = parseArgs(argc, argv, request); status >= 0)
        return status;
    // Until the device is announced a signal ends the program at once.
    return runUnitsim(request, stopRequested, [] {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    });
}

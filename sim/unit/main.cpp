// unitsim: a virtual handheld unit in software-update mode on a virtual
// serial line; prints the device a host opens to talk to it.
#include <CLI/CLI.hpp>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "sim/unit/FactoryImages.h"
#include "sim/unit/LineLossWatch.h"
#include "sim/line/VirtualLine.h"
#include "sim/unit/VirtualUnit.h"
#include "sim/unit/UnitLinePort.h"
#include "comlink/CommLink.h"
#include "comlink/PortSettings.h"
#include "comlink/PosixCommPort.h"

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void onSignal(int)
{
    stopRequested.store(true);
}

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitPowerCut = 3;

bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"A virtual Display or Remote Handset in software-update mode on a virtual\n"
                 "serial line. Prints the device a host opens (\"device: PATH\"); runs until\n"
                 "interrupted, the idle limit passes or a power-cut fault strikes."};
    UnitIdentity id;
    std::string kindText = "ne";
    double version = 0;
    UnitBehaviour behaviour;
    std::string linkPath, transcriptPath, stateDir, calibrationPath;
    bool noPacing = false;
    int latencyUs = 0;
    double noiseRate = 0;
    unsigned noiseSeed = 1;
    int idleLimitS = 1800;

    app.add_option("--kind", kindText, "Unit kind: ne (Display Handset) or fe (Remote Handset)")
        ->check(CLI::IsMember({"ne", "fe", "NE", "FE"}));
    app.add_option("--model", id.model, "7300, 7350, 7355 or 7410")
        ->check(CLI::IsMember({7300, 7350, 7355, 7410}));
    app.add_flag("--j-model", id.jModel, "Report the model as \"Model=J7355\"");
    app.add_option("--serial", id.serial, "Serial number: 9 upper-case letters or digits");
    app.add_option("--version", version,
                   "Firmware version (default 1.221, or 2.013 for the 7410)");
    app.add_option("--baud", id.baud, "The one rate the unit answers at: 38400 or 57600")
        ->check(CLI::IsMember({38400, 57600}));
    app.add_flag("--plain-version", id.plainVersion,
                 "Answer \"idn? k\" with \"(1.312)\" instead of \"(K 1.312)\"");
    app.add_option("--link", linkPath, "Make a symbolic link to the host's device here");
    app.add_flag("--no-pacing", noPacing, "Deliver bytes at once instead of at the baud rate");
    app.add_option("--latency-us", latencyUs, "Delay every byte on the line by this much");
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
    app.add_option("--transcript", transcriptPath, "Write a JSON-lines transcript here");
    app.add_option("--state", stateDir,
                   "Load the unit from this directory when it holds a state; dump into it at exit");
    app.add_option("--calibration", calibrationPath,
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
    app.add_option("--noise", noiseRate, "Fault: replace this share of the bytes on the line")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--noise-seed", noiseSeed, "Seed of the line noise");
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

    UnitState state;
    std::string error;
    const bool resuming = !stateDir.empty() && stateExists(stateDir);
    if (resuming) {
        if (!loadState(stateDir, state, error)) {
            std::fprintf(stderr, "unitsim: %s\n", error.c_str());
            return kExitError;
        }
        std::printf("unitsim: resumed from state in %s\n", stateDir.c_str());
    } else {
        std::string problem = id.problem();
        if (!problem.empty()) {
            std::fprintf(stderr, "unitsim: %s\n", problem.c_str());
            return kExitUsage;
        }
        std::vector<std::uint8_t> calibration;
        if (!calibrationPath.empty() && !readFile(calibrationPath, calibration)) {
            std::fprintf(stderr, "unitsim: cannot read %s\n", calibrationPath.c_str());
            return kExitError;
        }
        if (!makeFactoryState(id, calibrationPath.empty() ? nullptr : &calibration, state, error)) {
            std::fprintf(stderr, "unitsim: %s\n", error.c_str());
            return kExitError;
        }
    }
    const UnitIdentity& unit = state.identity;

    LineOptions lineOptions;
    for (DirectionOptions* dir : {&lineOptions.aToB, &lineOptions.bToA}) {
        dir->baud = noPacing ? 0 : unit.baud;
        dir->latencyUs = latencyUs;
        if (noiseRate > 0)
            dir->noise.push_back({0, 0xFFFFFFFFu, noiseRate, noiseSeed++});
    }
    // The host's end (A) loses every byte while its speed differs from the
    // unit's: at the wrong rate the unit hears garbage and stays silent.
    lineOptions.speedMatch = true;
    lineOptions.holdOpen = true;
    lineOptions.linkA = linkPath;
    VirtualLine line(lineOptions);
    if (int r = line.open(); r != 0) {
        std::fprintf(stderr, "unitsim: cannot make the virtual line (%s)\n", std::strerror(-r));
        return kExitError;
    }

    StartRequestClock clock(systemClock());
    UnitLinePort port(std::make_unique<PosixCommPort>(line.path(END_B), 16384, 16384));
    if (port.lastError != 0) {
        std::fprintf(stderr, "unitsim: cannot open the unit's end %s (%d)\n",
                     line.path(END_B).c_str(), port.lastError);
        return kExitError;
    }
    CommLink link(&port, &clock);
    if (link.settings == nullptr || link.settings->setBaudRate(unit.baud) != 0) {
        std::fprintf(stderr, "unitsim: cannot set %d baud on the unit's end\n", unit.baud);
        return kExitError;
    }
    if (line.start() != 0) {
        std::fprintf(stderr, "unitsim: cannot start the virtual line\n");
        return kExitError;
    }

    // Real time: the unit's link clock runs faster while it waits for uploads.
    Transcript transcript(systemClock());
    if (!transcriptPath.empty() && !transcript.open(transcriptPath, resuming)) {
        std::fprintf(stderr, "unitsim: cannot write %s\n", transcriptPath.c_str());
        return kExitError;
    }
    transcript.record("start", {{"kind", unit.kindMarker()}, {"model", unit.model},
                                {"serial", unit.serial}, {"version", unit.versionText()},
                                {"baud", unit.baud}, {"device", line.path(END_A)},
                                {"resumed", resuming}});

    std::printf("unitsim: %s %d, serial %s, version %s, answers at %d baud%s\n",
                unit.kindName(), unit.model, unit.serial.c_str(), unit.versionText().c_str(),
                unit.baud, noPacing ? " (no pacing)" : "");
    std::printf("device: %s\n", line.path(END_A).c_str());
    const std::string& hostName = linkPath.empty() ? line.path(END_A) : linkPath;
    if (!linkPath.empty())
        std::printf("link: %s\n", linkPath.c_str());
    std::printf("unitsim: UNITFLASH_PORTS=%s makes \"Comm 1\" this unit\n", hostName.c_str());
    std::fflush(stdout);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    VirtualUnit virtualUnit(state, behaviour, transcript);
    LineLossWatch lossWatch(line, END_A, transcript);
    virtualUnit.setLineWatch([&] { lossWatch.poll(); });
    UnitEnd end = virtualUnit.run(link, port, clock, stopRequested);
    int status = end == UnitEnd::LineLost ? kExitError : kExitOk;
    auto dump = [&] {
        if (stateDir.empty())
            return;
        if (saveState(stateDir, state, error)) {
            std::printf("unitsim: state dumped into %s\n", stateDir.c_str());
        } else {
            std::fprintf(stderr, "unitsim: %s\n", error.c_str());
            status = kExitError;
        }
    };
    if (end == UnitEnd::PowerCut) {
        // The state is dumped at the moment of the cut; the line stays, as a
        // serial cable does, and the host meets a silent unit.
        status = kExitPowerCut;
        dump();
        std::printf("unitsim: power cut after %d commands; silent until interrupted\n",
                    virtualUnit.commandsCarriedOut());
        std::fflush(stdout);
        end = virtualUnit.playDead(link, stopRequested);
        transcript.record("stop", {{"reason", std::string("power cut, then ") + unitEndText(end)}});
    } else {
        transcript.record("stop", {{"reason", unitEndText(end)}});
        std::printf("unitsim: %s after %d commands\n", unitEndText(end),
                    virtualUnit.commandsCarriedOut());
        dump();
    }
    std::fflush(stdout);
    line.stop();
    line.wait();
    return status;
}

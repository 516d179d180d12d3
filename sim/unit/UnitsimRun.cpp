// unitsim's run: the unit's state, line, link and transcript, then the unit
// at work and what its end leaves behind.
#include "sim/unit/UnitsimRun.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "sim/line/VirtualLine.h"
#include "sim/unit/FactoryImages.h"
#include "sim/unit/LineLossWatch.h"
#include "sim/unit/UnitLinePort.h"
#include "comlink/CommLink.h"
#include "comlink/PortSettings.h"
#include "comlink/PosixCommPort.h"

namespace {

bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// Resumes the state from the request's directory when it holds one, else
// makes a factory state for the request's identity. 0, or the exit status.
int prepareState(const UnitsimRequest& request, UnitState& state, bool& resuming)
{
    std::string error;
    resuming = !request.stateDir.empty() && stateExists(request.stateDir);
    if (resuming) {
        if (!loadState(request.stateDir, state, error)) {
            std::fprintf(stderr, "unitsim: %s\n", error.c_str());
            return kUnitsimError;
        }
        std::printf("unitsim: resumed from state in %s\n", request.stateDir.c_str());
        return kUnitsimOk;
    }
    std::string problem = request.identity.problem();
    if (!problem.empty()) {
        std::fprintf(stderr, "unitsim: %s\n", problem.c_str());
        return kUnitsimUsage;
    }
    std::vector<std::uint8_t> calibration;
    const bool ownCalibration = !request.calibrationPath.empty();
    if (ownCalibration && !readFile(request.calibrationPath, calibration)) {
        std::fprintf(stderr, "unitsim: cannot read %s\n", request.calibrationPath.c_str());
        return kUnitsimError;
    }
    if (!makeFactoryState(request.identity, ownCalibration ? &calibration : nullptr, state, error)) {
        std::fprintf(stderr, "unitsim: %s\n", error.c_str());
        return kUnitsimError;
    }
    return kUnitsimOk;
}

LineOptions lineOptionsFor(const UnitsimRequest& request, int baud)
{
    LineOptions options;
    unsigned noiseSeed = request.noiseSeed;
    for (DirectionOptions* dir : {&options.aToB, &options.bToA}) {
        dir->baud = request.noPacing ? 0 : baud;
        dir->latencyUs = request.latencyUs;
        if (request.noiseRate > 0)
            dir->noise.push_back({0, 0xFFFFFFFFu, request.noiseRate, noiseSeed++});
    }
    // The host's end (A) loses every byte while its speed differs from the
    // unit's: at the wrong rate the unit hears garbage and stays silent.
    options.speedMatch = true;
    options.holdOpen = true;
    options.linkA = request.linkPath;
    return options;
}

// The lines a host (or a person) reads to find the unit.
void announce(const UnitsimRequest& request, const UnitIdentity& unit, const VirtualLine& line)
{
    std::printf("unitsim: %s %d, serial %s, version %s, answers at %d baud%s\n",
                unit.kindName(), unit.model, unit.serial.c_str(), unit.versionText().c_str(),
                unit.baud, request.noPacing ? " (no pacing)" : "");
    std::printf("device: %s\n", line.path(END_A).c_str());
    const std::string& hostName = request.linkPath.empty() ? line.path(END_A) : request.linkPath;
    if (!request.linkPath.empty())
        std::printf("link: %s\n", request.linkPath.c_str());
    std::printf("unitsim: UNITFLASH_PORTS=%s makes \"Comm 1\" this unit\n", hostName.c_str());
    std::fflush(stdout);
}

// Dumps the state into dir (nothing when dir is empty). False when that failed.
bool dumpState(const std::string& dir, const UnitState& state)
{
    if (dir.empty())
        return true;
    std::string error;
    if (!saveState(dir, state, error)) {
        std::fprintf(stderr, "unitsim: %s\n", error.c_str());
        return false;
    }
    std::printf("unitsim: state dumped into %s\n", dir.c_str());
    return true;
}

// Records and reports how the service ended, dumps the state and, after a
// power cut, keeps the unit silent on its live line until stop. The exit
// status.
int finish(const UnitsimRequest& request, UnitEnd end, VirtualUnit& unit, const UnitState& state,
           CommLink& link, Transcript& transcript, const std::atomic<bool>& stop)
{
    int status = end == UnitEnd::LineLost ? kUnitsimError : kUnitsimOk;
    if (end == UnitEnd::PowerCut) {
        // The state is dumped at the moment of the cut; the line stays, as a
        // serial cable does, and the host meets a silent unit.
        status = dumpState(request.stateDir, state) ? kUnitsimPowerCut : kUnitsimError;
        std::printf("unitsim: power cut after %d commands; silent until interrupted\n",
                    unit.commandsCarriedOut());
        std::fflush(stdout);
        end = unit.playDead(link, stop);
        transcript.record("stop", {{"reason", std::string("power cut, then ") + unitEndText(end)}});
    } else {
        transcript.record("stop", {{"reason", unitEndText(end)}});
        std::printf("unitsim: %s after %d commands\n", unitEndText(end), unit.commandsCarriedOut());
        if (!dumpState(request.stateDir, state))
            status = kUnitsimError;
    }
    std::fflush(stdout);
    return status;
}

} // namespace

int runUnitsim(const UnitsimRequest& request, const std::atomic<bool>& stop,
               const std::function<void()>& serving)
{
    UnitState state;
    bool resuming = false;
    if (int status = prepareState(request, state, resuming); status != kUnitsimOk)
        return status;
    const UnitIdentity& unit = state.identity;

    VirtualLine line(lineOptionsFor(request, unit.baud));
    if (int r = line.open(); r != 0) {
        std::fprintf(stderr, "unitsim: cannot make the virtual line (%s)\n", std::strerror(-r));
        return kUnitsimError;
    }
    StartRequestClock clock(systemClock());
    UnitLinePort port(std::make_unique<PosixCommPort>(line.path(END_B), 16384, 16384));
    if (port.lastError != 0) {
        std::fprintf(stderr, "unitsim: cannot open the unit's end %s (%d)\n",
                     line.path(END_B).c_str(), port.lastError);
        return kUnitsimError;
    }
    CommLink link(&port, &clock);
    if (link.settings == nullptr || link.settings->setBaudRate(unit.baud) != 0) {
        std::fprintf(stderr, "unitsim: cannot set %d baud on the unit's end\n", unit.baud);
        return kUnitsimError;
    }
    if (line.start() != 0) {
        std::fprintf(stderr, "unitsim: cannot start the virtual line\n");
        return kUnitsimError;
    }

    // Real time: the unit's link clock runs faster while it waits for uploads.
    Transcript transcript(systemClock());
    if (!request.transcriptPath.empty() && !transcript.open(request.transcriptPath, resuming)) {
        std::fprintf(stderr, "unitsim: cannot write %s\n", request.transcriptPath.c_str());
        return kUnitsimError;
    }
    transcript.record("start", {{"kind", unit.kindMarker()}, {"model", unit.model},
                                {"serial", unit.serial}, {"version", unit.versionText()},
                                {"baud", unit.baud}, {"device", line.path(END_A)},
                                {"resumed", resuming}});
    announce(request, unit, line);

    serving();
    VirtualUnit virtualUnit(state, request.behaviour, transcript);
    LineLossWatch lossWatch(line, END_A, transcript);
    virtualUnit.setLineWatch([&] { lossWatch.poll(); });
    const UnitEnd end = virtualUnit.run(link, port, clock, stop);
    const int status = finish(request, end, virtualUnit, state, link, transcript, stop);
    line.stop();
    line.wait();
    return status;
}

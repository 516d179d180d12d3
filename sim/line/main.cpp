// virtualline: joins two pseudo-terminals as the two ends of one serial line.
#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/line/VirtualLine.h"
#include "sim/line/VirtualLineRun.h"

namespace {

VirtualLine* activeLine = nullptr;

extern "C" void onSignal(int)
{
    // stop() only sets a flag and writes one byte to a pipe.
    if (activeLine)
        activeLine->stop();
}

// The running line is what a signal stops; until there is one a signal
// ends the program at once.
void stopOnSignals(VirtualLine* line)
{
    activeLine = line;
    if (line) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
}

// Reads the command line into request. -1 to go on; otherwise the exit
// status (help, a usage error CLI11 has reported, or a faulty setting).
int parseArgs(int argc, char** argv, VirtualLineRequest& request)
{
    CLI::App app{"Joins two pseudo-terminals, A and B, as the two ends of one serial line.\n"
                 "Prints \"A <path>\" and \"B <path>\" on standard output, then runs until an end\n"
                 "is closed, a limit passes, or it is interrupted.\n"
                 "Direction settings (--ab for A to B, --ba for B to A, repeatable):\n"
                 "  baud=N  latency-us=N  drop=I,J  corrupt=I,J  mask=0xNN  dup=I,J\n"
                 "  noise=AT:LENGTH[:RATE[:SEED]]  stall=AT:MS   (I, AT: byte index from 0)\n"
                 "A PROGRAM after -- runs with its standard input and output on end B through\n"
                 "pipes, so that its own terminal handling (a flush as it exits) cannot throw\n"
                 "away the last bytes it wrote; the exit status is then the program's."};
    LineOptions& options = request.options;
    int baud = 0;
    int latencyUs = 0;
    std::vector<std::string> ab, ba;
    app.add_option("--baud", baud, "Pace both directions at this rate (10 bits a byte)");
    app.add_option("--latency-us", latencyUs, "Delay every byte in both directions");
    // One setting per occurrence, so that a program after -- is never
    // taken for more settings.
    app.add_option("--ab", ab, "A setting for the direction A to B")->allow_extra_args(false);
    app.add_option("--ba", ba, "A setting for the direction B to A")->allow_extra_args(false);
    app.add_flag("--speed-match", options.speedMatch,
                 "Lose bytes while the speeds set on the two ends differ");
    app.add_flag("--hold-open", options.holdOpen,
                 "Keep both ends open between clients; end only on a limit or a signal");
    app.add_option("--time-limit-ms", options.timeLimitMs, "End after this long");
    app.add_option("--idle-limit-ms", options.idleLimitMs, "End after this long without a byte");
    app.add_option("--link-a", options.linkA, "Make a symbolic link to end A here");
    app.add_option("--link-b", options.linkB, "Make a symbolic link to end B here");
    app.add_option("--record", request.recordPath,
                   "Write each chunk read from an end to this file: seconds, end, count, bytes in hex");
    app.add_option("program", request.peerCommand, "PROGRAM [ARGS...] to run on end B")->expected(-1);
    app.add_flag("-v,--verbose", request.verbose, "Report speed changes and counters on standard error");
    CLI11_PARSE(app, argc, argv);

    for (DirectionOptions* dir : {&options.aToB, &options.bToA}) {
        dir->baud = baud;
        dir->latencyUs = latencyUs;
    }
    for (auto [dir, settings] : {std::pair{&options.aToB, &ab}, std::pair{&options.bToA, &ba}}) {
        for (const std::string& s : *settings) {
            std::string error = applyDirectionSetting(*dir, s);
            if (!error.empty()) {
                std::fprintf(stderr, "virtualline: %s\n", error.c_str());
                return 2;
            }
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    VirtualLineRequest request;
    if (int status = parseArgs(argc, argv, request); status >= 0)
        return status;
    return runVirtualLine(request, stopOnSignals);
}

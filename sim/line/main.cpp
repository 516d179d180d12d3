// virtualline: joins two pseudo-terminals as the two ends of one serial line.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sim/line/PipePeer.h"
#include "sim/line/VirtualLine.h"

namespace {

VirtualLine* activeLine = nullptr;

extern "C" void onSignal(int)
{
    // stop() only sets a flag and writes one byte to a pipe.
    if (activeLine)
        activeLine->stop();
}

void printStats(const char* name, const DirectionStats& s)
{
    std::fprintf(stderr,
                 "%s: %llu in, %llu out, %llu dropped, %llu corrupted, %llu duplicated, "
                 "%llu noisy, %llu lost to speed mismatch, %llu stalls\n",
                 name, static_cast<unsigned long long>(s.bytesIn),
                 static_cast<unsigned long long>(s.bytesOut),
                 static_cast<unsigned long long>(s.dropped),
                 static_cast<unsigned long long>(s.corrupted),
                 static_cast<unsigned long long>(s.duplicated),
                 static_cast<unsigned long long>(s.noised),
                 static_cast<unsigned long long>(s.speedLost),
                 static_cast<unsigned long long>(s.stalls));
}

} // namespace

int main(int argc, char** argv)
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
    LineOptions options;
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
    std::string recordPath;
    app.add_option("--record", recordPath,
                   "Write each chunk read from an end to this file: seconds, end, count, bytes in hex");
    std::vector<std::string> peerCommand;
    app.add_option("program", peerCommand, "PROGRAM [ARGS...] to run on end B")->expected(-1);
    bool verbose = false;
    app.add_flag("-v,--verbose", verbose, "Report speed changes and counters on standard error");
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
    if (verbose)
        options.onSpeed = [](int end, int rate) {
            std::fprintf(stderr, "end %c: %d baud\n", end == END_A ? 'A' : 'B', rate);
        };

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> record(nullptr, std::fclose);
    if (!recordPath.empty()) {
        record.reset(std::fopen(recordPath.c_str(), "w"));
        if (!record) {
            std::fprintf(stderr, "virtualline: cannot write %s: %s\n", recordPath.c_str(), std::strerror(errno));
            return 1;
        }
        const auto started = std::chrono::steady_clock::now();
        options.onRead = [file = record.get(), started](int end, const std::uint8_t* bytes, std::size_t count) {
            const std::chrono::duration<double> at = std::chrono::steady_clock::now() - started;
            std::fprintf(file, "%.6f %c %zu", at.count(), end == END_A ? 'A' : 'B', count);
            // Long chunks keep their first and last 8 bytes.
            for (std::size_t i = 0; i < count; ++i) {
                if (count > 16 && i == 8) {
                    std::fputs(" ..", file);
                    i = count - 8;
                }
                std::fprintf(file, " %02x", bytes[i]);
            }
            std::fputc('\n', file);
        };
    }

    VirtualLine line(options);
    if (int r = line.open(); r != 0) {
        std::fprintf(stderr, "virtualline: cannot make the line: %s\n", std::strerror(-r));
        return 1;
    }
    std::printf("A %s\nB %s\n", line.path(END_A).c_str(), line.path(END_B).c_str());
    std::fflush(stdout);

    activeLine = &line;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    int peerStatus = 0;
    LineEndReason reason;
    if (peerCommand.empty()) {
        reason = line.run();
    } else {
        if (int r = line.start(); r != 0) {
            std::fprintf(stderr, "virtualline: cannot start the line: %s\n", std::strerror(-r));
            return 1;
        }
        PipePeer::Options peerOptions = PipePeer::relayed(peerCommand, line.path(END_B), 0);
        peerOptions.keepStderr = true;
        PipePeer peer(peerOptions);
        if (int r = peer.start(); r != 0) {
            std::fprintf(stderr, "virtualline: cannot start %s: %s\n", peerCommand[0].c_str(), std::strerror(-r));
            line.stop();
            line.wait();
            return 1;
        }
        peerStatus = peer.wait(options.timeLimitMs > 0 ? options.timeLimitMs : INT_MAX);
        // Without --hold-open the line ends once the relay has closed end B.
        reason = line.wait();
    }
    activeLine = nullptr;
    if (verbose) {
        printStats("A to B", line.stats(A_TO_B));
        printStats("B to A", line.stats(B_TO_A));
    }
    std::fprintf(stderr, "virtualline: %s\n", lineEndReasonText(reason));
    if (reason == LineEndReason::Failed)
        return 1;
    return peerCommand.empty() ? 0 : (peerStatus < 0 ? 124 : peerStatus);
}

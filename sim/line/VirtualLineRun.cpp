// virtualline's run: the record file, the line, the program on end B, and
// the report of how the line ended.
#include "sim/line/VirtualLineRun.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "sim/line/PipePeer.h"
#include "sim/line/VirtualLine.h"

namespace {

using RecordFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

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

// Writes each chunk read from an end to file: seconds since now, the end,
// the count and the bytes in hex (long chunks keep their first and last 8).
ReadHook recorder(std::FILE* file)
{
    const auto started = std::chrono::steady_clock::now();
    return [file, started](int end, const std::uint8_t* bytes, std::size_t count) {
        const std::chrono::duration<double> at = std::chrono::steady_clock::now() - started;
        std::fprintf(file, "%.6f %c %zu", at.count(), end == END_A ? 'A' : 'B', count);
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

// Starts the line on its own thread and the program on end B, waits for the
// program and then for the line (without --hold-open it ends once the relay
// has closed end B). status: the program's (-1 when it outlasted the time
// limit). False, with the line stopped, when either could not be started.
bool runWithPeer(const VirtualLineRequest& request, VirtualLine& line, int& status, LineEndReason& reason)
{
    if (int r = line.start(); r != 0) {
        std::fprintf(stderr, "virtualline: cannot start the line: %s\n", std::strerror(-r));
        return false;
    }
    const std::vector<std::string>& command = request.peerCommand;
    PipePeer::Options peerOptions = PipePeer::relayed(command, line.path(END_B), 0);
    peerOptions.keepStderr = true;
    PipePeer peer(peerOptions);
    if (int r = peer.start(); r != 0) {
        std::fprintf(stderr, "virtualline: cannot start %s: %s\n", command[0].c_str(), std::strerror(-r));
        line.stop();
        line.wait();
        return false;
    }
    const int timeLimitMs = request.options.timeLimitMs;
    status = peer.wait(timeLimitMs > 0 ? timeLimitMs : INT_MAX);
    reason = line.wait();
    return true;
}

} // namespace

int runVirtualLine(const VirtualLineRequest& request, const std::function<void(VirtualLine*)>& publish)
{
    LineOptions options = request.options;
    if (request.verbose)
        options.onSpeed = [](int end, int rate) {
            std::fprintf(stderr, "end %c: %d baud\n", end == END_A ? 'A' : 'B', rate);
        };
    RecordFile record(nullptr, std::fclose);
    if (!request.recordPath.empty()) {
        record.reset(std::fopen(request.recordPath.c_str(), "w"));
        if (!record) {
            std::fprintf(stderr, "virtualline: cannot write %s: %s\n", request.recordPath.c_str(),
                         std::strerror(errno));
            return 1;
        }
        options.onRead = recorder(record.get());
    }

    VirtualLine line(options);
    if (int r = line.open(); r != 0) {
        std::fprintf(stderr, "virtualline: cannot make the line: %s\n", std::strerror(-r));
        return 1;
    }
    std::printf("A %s\nB %s\n", line.path(END_A).c_str(), line.path(END_B).c_str());
    std::fflush(stdout);

    publish(&line);
    int peerStatus = 0;
    LineEndReason reason = LineEndReason::Running;
    bool ran = true;
    if (request.peerCommand.empty())
        reason = line.run();
    else
        ran = runWithPeer(request, line, peerStatus, reason);
    publish(nullptr);
    if (!ran)
        return 1;
    if (request.verbose) {
        printStats("A to B", line.stats(A_TO_B));
        printStats("B to A", line.stats(B_TO_A));
    }
    std::fprintf(stderr, "virtualline: %s\n", lineEndReasonText(reason));
    if (reason == LineEndReason::Failed)
        return 1;
    return request.peerCommand.empty() ? 0 : (peerStatus < 0 ? 124 : peerStatus);
}

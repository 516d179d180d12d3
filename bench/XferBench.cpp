// xfer_bench: our XMODEM sender and lrzsz's sx, each sending to rx over the
// virtual line paced at 57600 baud; wall time, payload rate, efficiency
// against the wire limit and sender processor time. Ours runs twice: as it
// is, and with its port's idle capped at 1 ms (capIdle(1)) so that it wakes
// every millisecond. Then our receiver and rx, each receiving 1K blocks from
// sx.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "comlink/CommLink.h"
#include "sim/line/PipePeer.h"
#include "comlink/PortSettings.h"
#include "comlink/PosixCommPort.h"
#include "transfer/TransferStatus.h"
#include "sim/line/VirtualLine.h"
#include "transfer/Xmodem1kTransfer.h"
#include "transfer/XmodemTransfer.h"
#include "testkit/Files.h"
#include "testkit/Pty.h"
#include "testkit/ScratchDir.h"

namespace {

constexpr int kBaud = 57600;
constexpr int kLimitMs = 600000;

struct Figures {
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0;
};

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double childCpuSeconds(const ChildCpuTime& t)
{
    return (t.userMs + t.systemMs) / 1e3;
}

// Waits (at most 5 s) until the sender on end B has set the line's rate
// and begun, so that rx's first start request is not thrown away by the
// sender's purge of its input and both senders are timed alike: from rx's
// start to the sender's end.
void waitForSender(const VirtualLine& line)
{
    for (int i = 0; i < 500 && line.speed(END_B) != kBaud; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

PipePeer::Options rxOn(const VirtualLine& line, const std::string& dir, int end = END_A)
{
    return PipePeer::relayed({"rx", "-X", "-c", "out.bin"}, line.path(end), kBaud, dir, dir + "/rx.log");
}

// Our engine on end B, in a thread of its own, to rx on end A.
Figures oursToRx(VirtualLine& line, const std::string& dir, bool oneK, int idleCapMs)
{
    Figures f;
    PipePeer rx(rxOn(line, dir));
    int result = -1;
    std::atomic<double> rxStart{0};
    std::string path = line.path(END_B);
    std::string file = dir + "/in.bin";
    std::thread sender([&] {
        double cpu0 = threadCpuSeconds();
        {
            PosixCommPort port(path, 16384, 16384);
            port.capIdle(idleCapMs);
            CommLink link(&port);
            PortSettings settings(&link);
            settings.setBaudRate(kBaud);
            TransferStatus status;
            if (oneK) {
                Xmodem1kTransfer transfer(&link, &status);
                result = transfer.sendFile(file.c_str());
            } else {
                XmodemTransfer transfer(&link, &status);
                result = transfer.sendFile(file.c_str());
            }
            f.seconds = testkit::nowSeconds() - rxStart.load();
            settings.restore();
        }
        f.cpuSeconds = threadCpuSeconds() - cpu0;
    });
    waitForSender(line);
    rxStart = testkit::nowSeconds();
    int started = rx.start();
    sender.join();
    f.ok = started == 0 && result == 0 && rx.wait(kLimitMs) == 0;
    return f;
}

// sx on end B to rx on end A.
Figures sxToRx(VirtualLine& line, const std::string& dir, bool oneK)
{
    Figures f;
    PipePeer rx(rxOn(line, dir));
    std::vector<std::string> args = {"sx", "-X"};
    if (oneK)
        args.push_back("-k");
    args.push_back("in.bin");
    PipePeer sx(PipePeer::relayed(args, line.path(END_B), kBaud, dir, dir + "/sx.log"));
    if (sx.start() != 0)
        return f;
    waitForSender(line);
    double t0 = testkit::nowSeconds();
    if (rx.start() != 0)
        return f;
    int sxStatus = sx.wait(kLimitMs);
    f.seconds = testkit::nowSeconds() - t0;
    f.cpuSeconds = childCpuSeconds(sx.cpuTime());
    f.ok = sxStatus == 0 && rx.wait(kLimitMs) == 0;
    return f;
}

// sx on end A sending 1K blocks to a receiver on end B.
PipePeer::Options sxOn(const VirtualLine& line, const std::string& dir)
{
    return PipePeer::relayed({"sx", "-X", "-k", "in.bin"}, line.path(END_A), kBaud, dir, dir + "/sx.log");
}

// Our receiver on end B, on this thread, from sx.
Figures oursFromSx(VirtualLine& line, const std::string& dir, bool)
{
    Figures f;
    PipePeer sx(sxOn(line, dir));
    if (sx.start() != 0)
        return f;
    const std::string file = dir + "/out.bin";
    int result = -1;
    const double t0 = testkit::nowSeconds();
    const double cpu0 = threadCpuSeconds();
    {
        PosixCommPort port(line.path(END_B), 16384, 16384);
        CommLink link(&port);
        PortSettings settings(&link);
        settings.setBaudRate(kBaud);
        TransferStatus status;
        XmodemTransfer transfer(&link, &status);
        result = transfer.receiveFile(file.c_str());
        f.seconds = testkit::nowSeconds() - t0;
        settings.restore();
    }
    f.cpuSeconds = threadCpuSeconds() - cpu0;
    f.ok = result == 0 && sx.wait(kLimitMs) == 0;
    return f;
}

// rx on end B from sx.
Figures rxFromSx(VirtualLine& line, const std::string& dir, bool)
{
    Figures f;
    PipePeer sx(sxOn(line, dir));
    if (sx.start() != 0)
        return f;
    PipePeer rx(rxOn(line, dir, END_B));
    const double t0 = testkit::nowSeconds();
    if (rx.start() != 0)
        return f;
    const int rxStatus = rx.wait(kLimitMs);
    f.seconds = testkit::nowSeconds() - t0;
    f.cpuSeconds = childCpuSeconds(rx.cpuTime());
    f.ok = rxStatus == 0 && sx.wait(kLimitMs) == 0;
    return f;
}

// Runs one sender to rx on a fresh paced line.
template <typename Sender>
Figures onPacedLine(const std::string& dir, bool oneK, Sender sender)
{
    LineOptions o;
    o.aToB.baud = kBaud;
    o.bToA.baud = kBaud;
    o.timeLimitMs = kLimitMs;
    VirtualLine line(o);
    std::filesystem::remove(dir + "/out.bin");
    if (line.start() != 0)
        return Figures{};
    return sender(line, dir, oneK);
}

void print(const char* who, std::size_t size, const char* blocks, const Figures& f)
{
    double rate = f.seconds > 0 ? static_cast<double>(size) / f.seconds : 0;
    double wire = kBaud / 10.0;
    std::printf("%-9s %7zu bytes, %4s blocks: %s %7.2f s  %7.0f B/s  efficiency %5.1f %%  CPU %.3f s\n",
                who, size, blocks, f.ok ? "ok    " : "FAILED", f.seconds, rate, 100.0 * rate / wire,
                f.cpuSeconds);
    std::fflush(stdout);
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

} // namespace

// xfer_bench [RUNS]: each case RUNS times (default 1), the three senders
// one after the other in every round, so that each round pairs them on the
// same machine state; with more than one round the medians follow, with
// the median of the paired CPU ratios against sx.
int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    testkit::ScratchDir scratch("xfer-bench");
    const std::string dir = scratch.path().string();
    std::printf("virtual line paced at %d baud: wire limit %d bytes/s; %d round(s)\n", kBaud, kBaud / 10, runs);
    struct Case {
        std::size_t size;
        bool oneK;
    };
    struct Sender {
        const char* name;
        std::function<Figures(VirtualLine&, const std::string&, bool)> run;
    };
    const Sender senders[] = {
        {"ours", [](VirtualLine& line, const std::string& d, bool oneK) { return oursToRx(line, d, oneK, 0); }},
        {"ours-old", [](VirtualLine& line, const std::string& d, bool oneK) { return oursToRx(line, d, oneK, 1); }},
        {"sx", sxToRx},
    };
    for (Case c : {Case{262144, true}, Case{262144, false}}) {
        testkit::writeBytes(scratch.file("in.bin"), testkit::patternBytes(c.size));
        const char* blocks = c.oneK ? "1K" : "128";
        std::vector<double> seconds[3], cpu[3], ratio[2];
        for (int r = 0; r < runs; ++r) {
            Figures f[3];
            for (int i = 0; i < 3; ++i) {
                f[i] = onPacedLine(dir, c.oneK, senders[i].run);
                print(senders[i].name, c.size, blocks, f[i]);
                seconds[i].push_back(f[i].seconds);
                cpu[i].push_back(f[i].cpuSeconds);
            }
            for (int i = 0; i < 2; ++i)
                if (f[2].cpuSeconds > 0)
                    ratio[i].push_back(f[i].cpuSeconds / f[2].cpuSeconds);
        }
        if (runs < 2)
            continue;
        for (int i = 0; i < 3; ++i) {
            std::printf("median %-9s %4s blocks: %7.2f s  CPU %.4f s", senders[i].name, blocks,
                        median(seconds[i]), median(cpu[i]));
            if (i < 2)
                std::printf("  CPU / sx's in the same round: median %.2f", median(ratio[i]));
            std::printf("\n");
        }
        std::fflush(stdout);
    }
    // Receiving 1K blocks from sx: ours against rx, paired per round.
    testkit::writeBytes(scratch.file("in.bin"), testkit::patternBytes(262144));
    std::vector<double> rxSeconds[2], rxCpu[2], rxRatio;
    const Sender receivers[] = {{"ours-rx", oursFromSx}, {"rx", rxFromSx}};
    for (int r = 0; r < runs; ++r) {
        Figures f[2];
        for (int i = 0; i < 2; ++i) {
            f[i] = onPacedLine(dir, true, receivers[i].run);
            print(receivers[i].name, 262144, "1K", f[i]);
            rxSeconds[i].push_back(f[i].seconds);
            rxCpu[i].push_back(f[i].cpuSeconds);
        }
        if (f[1].cpuSeconds > 0)
            rxRatio.push_back(f[0].cpuSeconds / f[1].cpuSeconds);
    }
    if (runs > 1)
        for (int i = 0; i < 2; ++i) {
            std::printf("median %-9s receiving 1K: %7.2f s  CPU %.4f s", receivers[i].name,
                        median(rxSeconds[i]), median(rxCpu[i]));
            if (i == 0)
                std::printf("  CPU / rx's in the same round: median %.2f", median(rxRatio));
            std::printf("\n");
        }
    return 0;
}

// Figures of the serial link on a pseudo-terminal: processor time spent
// waiting on a silent line, and the delay from a byte written at the far
// end to CommLink::readChar returning it; for the port as it is and, beside
// it, with its idle capped so that it wakes every millisecond (capIdle(1)).
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "testkit/Pty.h"
#include "comlink/CommLink.h"
#include "comlink/PosixCommPort.h"

using namespace testkit;

namespace {

double cpuSeconds(clockid_t id)
{
    timespec ts{};
    clock_gettime(id, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double nowUs()
{
    using namespace std::chrono;
    return static_cast<double>(
        duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count()) / 1e3;
}

void silentWait(CommLink& link, const char* variant)
{
    char buffer[401];
    const double wall0 = nowUs();
    const double cpu0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const int n = link.readString(buffer, 400, -1, 2000);
    const double cpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0;
    const double wall = (nowUs() - wall0) / 1e6;
    std::printf("%-14s silent 2 s readString: %d chars after %.3f s, CPU %.4f s = %.3f %% of one core"
                " (goal < 0.2 %%)\n",
                variant, n, wall, cpu, 100.0 * cpu / wall);
}

void latency(CommLink& link, Pty& pty, int samples, const char* variant)
{
    std::atomic<int> ready{-1};
    std::atomic<double> sentAt{0};
    std::thread farEnd([&] {
        for (int i = 0; i < samples; ++i) {
            while (ready.load() != i)
                std::this_thread::yield();
            // Let the reader settle into its wait before the byte goes out.
            std::this_thread::sleep_for(std::chrono::microseconds(300 + (i * 37) % 700));
            sentAt.store(nowUs());
            pty.send(std::string(1, static_cast<char>(i & 0x7F)));
        }
    });
    std::vector<double> delays;
    delays.reserve(static_cast<std::size_t>(samples));
    int lost = 0;
    for (int i = 0; i < samples; ++i) {
        ready.store(i);
        const int ch = link.readChar(1000);
        const double got = nowUs();
        if (ch != (i & 0x7F)) {
            ++lost;
            continue;
        }
        delays.push_back(got - sentAt.load());
    }
    farEnd.join();
    std::sort(delays.begin(), delays.end());
    auto at = [&](double q) { return delays[static_cast<std::size_t>(q * (delays.size() - 1))]; };
    if (delays.empty()) {
        std::printf("latency: no byte arrived\n");
        return;
    }
    std::printf("%-14s far-end byte to readChar: %zu samples, median %.1f us, p99 %.1f us, max %.1f us%s\n",
                variant, delays.size(), at(0.5), at(0.99), delays.back(), lost ? ", some lost" : "");
}

} // namespace

int main(int argc, char** argv)
{
    const int samples = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    Pty pty;
    if (!pty.ok()) {
        std::fprintf(stderr, "comlink_bench: no pseudo-terminal\n");
        return 1;
    }
    struct IdleVariant {
        const char* name;
        int capMs;
    };
    for (const IdleVariant d : {IdleVariant{"old (1 ms cap)", 1}, IdleVariant{"new", 0}}) {
        PosixCommPort port(pty.path, 16384, 16384);
        if (port.lastError != 0) {
            std::fprintf(stderr, "comlink_bench: cannot open %s (%d)\n", pty.path.c_str(), port.lastError);
            return 1;
        }
        port.capIdle(d.capMs);
        CommLink link(&port);
        silentWait(link, d.name);
        latency(link, pty, samples, d.name);
    }
    return 0;
}

// conv_bench: wall and processor time of Kcnv and then Lcnv on a full
// 262144-byte calibration region, as the upgrade runs them (POSIX only).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <string>
#include <vector>

#include "process/ChildProcess.h"
#include "testkit/Files.h"
#include "testkit/ScratchDir.h"

namespace {
struct Cost {
    double wallMs = 0;
    double userMs = 0;
    double sysMs = 0;
};

// Runs the program in `dir` with its output discarded; adds its wall and
// processor time to cost.
bool runChild(const char* program, const std::vector<std::string>& argv, const std::string& dir, Cost& cost)
{
    const auto begin = std::chrono::steady_clock::now();
    ChildProcess child;
    child.redirectToNull(ChildProcess::StdOut);
    if (!child.start(program, argv, dir) || !child.wait(-1))
        return false;
    const auto end = std::chrono::steady_clock::now();
    const ChildCpuTime cpu = child.cpuTime();
    cost.wallMs += std::chrono::duration<double, std::milli>(end - begin).count();
    cost.userMs += cpu.userMs;
    cost.sysMs += cpu.systemMs;
    return child.exitStatus() == 1;
}

void report(const char* name, const Cost& total, int runs)
{
    std::printf("%-5s wall %7.2f ms  cpu %7.2f ms (user %7.2f, sys %6.2f)  per run, %d runs\n", name,
                total.wallMs / runs, (total.userMs + total.sysMs) / runs, total.userMs / runs,
                total.sysMs / runs, runs);
}
} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 20;
    if (runs <= 0) {
        std::fprintf(stderr, "usage: conv_bench [RUNS]\n");
        return 2;
    }
    testkit::ScratchDir scratch("conv-bench");
    const std::string dir = scratch.path().string();
    if (dir.empty()) {
        std::fprintf(stderr, "conv_bench: no scratch directory\n");
        return 1;
    }
    // A full downloaded region of random bytes, set 0 current.
    std::vector<std::uint8_t> region = testkit::patternBytes(262144);
    region[6] = 0;
    region[7] = 0;
    testkit::writeBytes(scratch.file("caltab.bin"), region);

    Cost kcnv;
    Cost lcnv;
    bool ok = true;
    for (int i = 0; i < runs && ok; ++i) {
        ok = runChild(KCNV_PATH, {"Kcnv.exe", " "}, dir, kcnv) &&
             runChild(LCNV_PATH, {"NE", "NE"}, dir, lcnv);
    }
    if (!ok) {
        std::fprintf(stderr, "conv_bench: a converter did not end with status 1\n");
        return 1;
    }
    report("Kcnv", kcnv, runs);
    report("Lcnv", lcnv, runs);
    return 0;
}

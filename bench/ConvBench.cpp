// conv_bench: wall and processor time of Kcnv and then Lcnv on a full
// 262144-byte calibration region, as the upgrade runs them (POSIX only).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "process/ChildProcess.h"

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
    std::string dir = (std::filesystem::temp_directory_path() / "conv_bench-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    // A full downloaded region of random bytes, set 0 current.
    std::vector<char> region(262144);
    std::mt19937 gen(1);
    for (char& c : region) {
        c = static_cast<char>(gen() >> 24);
    }
    region[6] = 0;
    region[7] = 0;
    std::ofstream(dir + "/caltab.bin", std::ios::binary).write(region.data(), static_cast<std::streamsize>(region.size()));

    Cost kcnv;
    Cost lcnv;
    bool ok = true;
    for (int i = 0; i < runs && ok; ++i) {
        ok = runChild(KCNV_PATH, {"Kcnv.exe", " "}, dir, kcnv) &&
             runChild(LCNV_PATH, {"NE", "NE"}, dir, lcnv);
    }
    std::filesystem::remove_all(dir);
    if (!ok) {
        std::fprintf(stderr, "conv_bench: a converter did not end with status 1\n");
        return 1;
    }
    report("Kcnv", kcnv, runs);
    report("Lcnv", lcnv, runs);
    return 0;
}

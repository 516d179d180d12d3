// conv_bench: wall and processor time of Kcnv and then Lcnv on a full
// 262144-byte calibration region, as the upgrade runs them (POSIX only).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
struct Cost {
    double wallMs = 0;
    double userMs = 0;
    double sysMs = 0;
};

double ms(const timeval& t)
{
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
}

// Runs the program in `dir` with its output discarded; the child's processor
// time comes from wait4.
bool runChild(const char* program, const std::vector<std::string>& argv, const std::string& dir, Cost& cost)
{
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    const auto begin = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        if (::chdir(dir.c_str()) != 0) {
            ::_exit(120);
        }
        ::execv(program, args.data());
        ::_exit(121);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    cost.wallMs += std::chrono::duration<double, std::milli>(end - begin).count();
    cost.userMs += ms(usage.ru_utime);
    cost.sysMs += ms(usage.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
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

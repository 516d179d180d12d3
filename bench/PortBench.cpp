// port_bench: what the platform's serial port costs the host against the
// virtual unit on a named port, built for Linux and for Windows (run under
// wine), so the two builds are compared in one run: the processor time of
// a silent 10 s wait (long enough for the 10 ms ticks of wine's process
// times), and the time and processor time of a 256 KiB download and upload
// in 1K blocks. The unit must be idle at its prompt and answer at the rate
// given.
#include <CLI/CLI.hpp>

#include <chrono>
#include <functional>
#include <cstdio>
#include <memory>
#include <string>

#include "comlink/CommLink.h"
#include "comlink/PortFactory.h"
#include "comlink/PortSettings.h"
#include "transfer/TransferStatus.h"
#include "transfer/Xmodem1kTransfer.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace {

constexpr int kRegionBytes = 0x40000;
constexpr const char* kFile = "port-bench.bin";

// This process's processor time, user and system, in seconds.
double cpuSeconds()
{
#ifdef _WIN32
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](timeval t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
#endif
}

double wallSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Times body; prints its line: elapsed, processor time and their ratio.
bool measure(const char* what, double wireSeconds, const std::function<bool()>& body)
{
    const double wall0 = wallSeconds();
    const double cpu0 = cpuSeconds();
    const bool ok = body();
    const double wall = wallSeconds() - wall0;
    const double cpu = cpuSeconds() - cpu0;
    std::printf("  %-34s %7.2f s", what, wall);
    if (wireSeconds > 0)
        std::printf(" (wire %.2f s)", wireSeconds);
    std::printf("  cpu %7.3f s = %5.2f %% of elapsed%s\n", cpu, 100.0 * cpu / wall, ok ? "" : "  FAILED");
    std::fflush(stdout);
    return ok;
}

// Brings the unit's console to a fresh prompt.
bool prompt(CommLink& link)
{
    link.writeLine("", TERM_LF);
    char reply[256];
    for (int i = 0; i < 5; ++i) {
        link.readString(reply, sizeof reply - 1, -1, 300);
        if (std::string(reply).find(">>") != std::string::npos)
            return true;
        link.writeLine("", TERM_LF);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"The serial port's cost against the virtual unit: a silent wait, a 256 KiB download and upload."};
    std::string portName;
    int baud = 57600;
    app.add_option("--port", portName, "The unit's port: \"Comm N\" or a device path")->required();
    app.add_option("--baud", baud, "The unit's rate")->check(CLI::IsMember({38400, 57600}));
    CLI11_PARSE(app, argc, argv);

    std::unique_ptr<CommPort> port = openCommPort(portName, 16384, 16384);
    if (port->lastError != 0) {
        std::fprintf(stderr, "port_bench: cannot open %s (%d)\n", portName.c_str(), port->lastError);
        return 1;
    }
    bool ok = true;
    {
        CommLink link(port.get());
        PortSettings settings(&link);
        settings.setBaudRate(baud);
        TransferStatus status;
        const double wire = kRegionBytes * 10.0 / baud;
        ok = measure("silent 10 s wait", 0, [&] { return link.readChar(10000) == COMM_NO_CHARACTER; }) && ok;
        ok = prompt(link) && ok;
        ok = measure("receive 256 KiB, 1K blocks", wire, [&] {
                 link.writeLine("xmodem 0 40000 G", TERM_LF);
                 Xmodem1kTransfer transfer(&link, &status);
                 return transfer.receiveFile(kFile) == 0;
             }) && ok;
        ok = prompt(link) && ok;
        ok = measure("send 256 KiB, 1K blocks", wire, [&] {
                 link.writeLine("btx", TERM_LF);
                 Xmodem1kTransfer transfer(&link, &status);
                 return transfer.sendFile(kFile) == 0;
             }) && ok;
        settings.restore();
    }
    std::remove(kFile);
    return ok ? 0 : 1;
}

// Pseudo-terminal helpers for tests and benchmarks: a pty pair whose slave
// the port under test opens while the test drives the master ("far end"),
// raw device I/O with deadlines, and waiting for a condition in real time.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace testkit {

class Pty {
public:
    Pty()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            return;
        path = ptsname(master);
        termios t{};
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master >= 0 && !path.empty(); }

    // Writes every byte (the far end talking).
    void send(const std::string& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t r = ::write(master, bytes.data() + done, bytes.size() - done);
            if (r > 0)
                done += static_cast<std::size_t>(r);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Everything the port sent, collected until nothing more has come for
    // quietMs.
    std::string receive(int quietMs = 50)
    {
        std::string got;
        for (;;) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, quietMs) <= 0 || !(p.revents & POLLIN))
                return got;
            char buffer[4096];
            const ssize_t r = ::read(master, buffer, sizeof buffer);
            if (r <= 0)
                return got;
            got.append(buffer, static_cast<std::size_t>(r));
        }
    }

    // True once no slave descriptor is open any more.
    bool slaveClosed()
    {
        pollfd p{master, 0, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
    }

    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }

    int master = -1;
    std::string path;
};

// Waits (real time, at most timeoutMs) until fd has at least n bytes to read.
bool waitForInput(int fd, int n, int timeoutMs = 2000);
// Polls condition every millisecond until it holds or timeoutMs (real
// time) have passed; whether it held.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs);

// Opens a device read-write, non-blocking, raw 8N1 at baud (0 keeps the
// speed). -1 on failure.
int openRawDevice(const std::string& path, int baud = 0);
// Writes all of data, waiting for room; false on an error.
bool writeAllTo(int fd, const std::vector<std::uint8_t>& data);
// Reads until n bytes have come or timeoutMs have passed; what came.
std::vector<std::uint8_t> readUpTo(int fd, std::size_t n, int timeoutMs);
// Waits up to timeoutMs for fd to report a hang-up.
bool waitHangUp(int fd, int timeoutMs);
// Seconds of the monotonic clock.
double nowSeconds();

} // namespace testkit

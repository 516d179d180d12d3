// A pseudo-terminal pair for tests and benchmarks: the port under test
// opens the slave path, the test drives the master ("far end").
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

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

// Waits (real time, at most 2 s) until fd has at least n bytes to read.
inline bool waitForInput(int fd, int n)
{
    for (int i = 0; i < 2000; ++i) {
        int waiting = 0;
        if (ioctl(fd, FIONREAD, &waiting) == 0 && waiting >= n)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Helpers for tests that drive real pseudo-terminals.
#include "testkit/Pty.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "sim/line/PtyEnd.h"

namespace testkit {

bool waitForInput(int fd, int n, int timeoutMs)
{
    return waitUntil(
        [&] {
            int waiting = 0;
            return ioctl(fd, FIONREAD, &waiting) == 0 && waiting >= n;
        },
        timeoutMs);
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

int openRawDevice(const std::string& path, int baud)
{
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && makeRaw(fd, baud) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool writeAllTo(int fd, const std::vector<std::uint8_t>& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

std::vector<std::uint8_t> readUpTo(int fd, std::size_t n, int timeoutMs)
{
    std::vector<std::uint8_t> got;
    double end = nowSeconds() + timeoutMs / 1000.0;
    while (got.size() < n) {
        double left = end - nowSeconds();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0)
            continue;
        std::uint8_t buf[4096];
        ssize_t r = ::read(fd, buf, std::min(sizeof buf, n - got.size()));
        if (r > 0)
            got.insert(got.end(), buf, buf + r);
        else if (r < 0 && errno != EAGAIN && errno != EINTR)
            break;
    }
    return got;
}

bool waitHangUp(int fd, int timeoutMs)
{
    double end = nowSeconds() + timeoutMs / 1000.0;
    while (nowSeconds() < end) {
        pollfd p{fd, 0, 0};
        if (::poll(&p, 1, 20) > 0 && (p.revents & POLLHUP))
            return true;
    }
    return false;
}

double nowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace testkit

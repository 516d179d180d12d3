// Pseudo-terminal master of one end of the virtual line, and termios helpers.
#include "sim/line/PtyEnd.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct SpeedEntry {
    speed_t code;
    int baud;
};

constexpr SpeedEntry kSpeeds[] = {
    {B50, 50}, {B75, 75}, {B110, 110}, {B134, 134}, {B150, 150}, {B200, 200},
    {B300, 300}, {B600, 600}, {B1200, 1200}, {B1800, 1800}, {B2400, 2400},
    {B4800, 4800}, {B9600, 9600}, {B19200, 19200}, {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
    {B921600, 921600},
};

} // namespace

int baudFromSpeed(speed_t speed)
{
    for (const SpeedEntry& e : kSpeeds)
        if (e.code == speed)
            return e.baud;
    return 0;
}

speed_t speedFromBaud(int baud)
{
    for (const SpeedEntry& e : kSpeeds)
        if (e.baud == baud)
            return e.code;
    return B0;
}

int makeRaw(int fd, int baud)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return -errno;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CRTSCTS | CSTOPB | PARENB);
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (baud > 0) {
        speed_t code = speedFromBaud(baud);
        if (code == B0)
            return -EINVAL;
        cfsetispeed(&t, code);
        cfsetospeed(&t, code);
    }
    return tcsetattr(fd, TCSANOW, &t) == 0 ? 0 : -errno;
}

PtyEnd::~PtyEnd()
{
    close();
}

int PtyEnd::open(bool holdSlave)
{
    master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0)
        return -errno;
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        int e = errno;
        close();
        return -e;
    }
    path = name;
    // Raw before anything moves: a cooked slave would echo the line's bytes
    // back into the line.
    if (int r = makeRaw(master, 0); r != 0) {
        close();
        return r;
    }
    // A kernel that shows a never-opened slave as hung up makes the line
    // wait for a poll without a hang-up before a hang-up means "closed".
    pollfd p{master, POLLIN, 0};
    sawOpen = ::poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP);
    if (holdSlave) {
        heldSlave = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (heldSlave < 0) {
            int e = errno;
            close();
            return -e;
        }
    }
    return 0;
}

int PtyEnd::makeLink(const std::string& linkPath)
{
    struct stat st{};
    if (lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode))
            return -EEXIST;
        if (unlink(linkPath.c_str()) != 0)
            return -errno;
    }
    if (symlink(path.c_str(), linkPath.c_str()) != 0)
        return -errno;
    link = linkPath;
    return 0;
}

void PtyEnd::close()
{
    if (!link.empty()) {
        // Only our own link: a client may have put something else there.
        char target[256];
        ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n >= 0 && path == std::string(target, static_cast<std::size_t>(n)))
            unlink(link.c_str());
        link.clear();
    }
    if (heldSlave >= 0)
        ::close(heldSlave);
    heldSlave = -1;
    if (probeSlave >= 0)
        ::close(probeSlave);
    probeSlave = -1;
    if (master >= 0)
        ::close(master);
    master = -1;
}

int PtyEnd::currentBaud() const
{
    termios t{};
    if (master < 0 || tcgetattr(master, &t) != 0)
        return 0;
    return baudFromSpeed(cfgetospeed(&t));
}

int PtyEnd::unreadInput()
{
    int fd = heldSlave;
    if (fd < 0) {
        if (probeSlave < 0 && master >= 0)
            probeSlave = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        fd = probeSlave;
    }
    if (fd < 0)
        return -1;
    // A poll for input waits for the kernel to move what the master wrote
    // into the slave's input queue; a count (FIONREAD) would not, and would
    // miss bytes still on their way under load.
    pollfd p{fd, POLLIN, 0};
    int r = ::poll(&p, 1, 0);
    if (r < 0)
        return -1;
    return (p.revents & POLLIN) ? 1 : 0;
}

bool PtyEnd::closedByClient(short revents)
{
    if (!(revents & POLLHUP)) {
        sawOpen = true;
        return false;
    }
    return sawOpen && heldSlave < 0;
}

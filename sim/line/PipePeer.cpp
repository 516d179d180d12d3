// Child program joined to a serial device by pipes and a relay thread.
#include "sim/line/PipePeer.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "sim/line/PtyEnd.h"

namespace {

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Writes as much of buf as fd takes now; false when fd is gone.
bool writeSome(int fd, std::vector<char>& buf)
{
    while (!buf.empty()) {
        ssize_t n = ::write(fd, buf.data(), buf.size());
        if (n > 0) {
            buf.erase(buf.begin(), buf.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && errno == EAGAIN;
    }
    return true;
}

} // namespace

PipePeer::PipePeer(Options opts) : options(std::move(opts)) {}

PipePeer::~PipePeer()
{
    child.kill();
    stopRelay();
    if (relayThread.joinable())
        relayThread.join();
    closeFd(deviceFd);
    closeFd(toChild);
    closeFd(fromChild);
    closeFd(stopRead);
    closeFd(stopWrite);
}

void PipePeer::stopRelay()
{
    if (stopWrite >= 0) {
        char c = 1;
        [[maybe_unused]] ssize_t n = ::write(stopWrite, &c, 1);
    }
}

int PipePeer::start()
{
    if (options.argv.empty())
        return -EINVAL;
    const bool relayed = !options.device.empty();
    int in[2] = {-1, -1}, out[2] = {-1, -1}, stop[2];
    if (relayed) {
        deviceFd = ::open(options.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (deviceFd < 0)
            return -errno;
        if (int r = makeRaw(deviceFd, options.baud); r != 0)
            return r;
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(stop, O_CLOEXEC | O_NONBLOCK) != 0) {
            int e = errno;
            for (int fd : {in[0], in[1], out[0], out[1]})
                if (fd >= 0)
                    ::close(fd);
            return -e;
        }
        toChild = in[1];
        fromChild = out[0];
        stopRead = stop[0];
        stopWrite = stop[1];
        fcntl(toChild, F_SETFL, O_NONBLOCK);
        fcntl(fromChild, F_SETFL, O_NONBLOCK);
        child.redirectToDescriptor(ChildProcess::StdIn, in[0]);
        child.redirectToDescriptor(ChildProcess::StdOut, out[1]);
    } else {
        child.redirectToNull(ChildProcess::StdIn);
        if (options.stdoutPath.empty())
            child.redirectToNull(ChildProcess::StdOut);
        else
            child.redirectToFile(ChildProcess::StdOut, options.stdoutPath);
    }
    if (!options.keepStderr) {
        if (options.stderrPath.empty())
            child.redirectToNull(ChildProcess::StdErr);
        else
            child.redirectToFile(ChildProcess::StdErr, options.stderrPath, true);
    }
    child.addEnvironment(options.env);
    child.searchPath(true);
    const bool ok = child.start(options.argv[0], options.argv, options.workDir);
    if (relayed) {
        ::close(in[0]);
        ::close(out[1]);
    }
    if (!ok)
        return -ENOENT;
    started = true;
    if (relayed)
        relayThread = std::thread([this] { relay(); });
    return 0;
}

void PipePeer::relay()
{
    // A program that closed its input makes writes to the pipe fail with
    // EPIPE instead of killing the process.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    std::vector<char> toDevice, toProgram;
    bool programOutputOpen = true;
    bool deviceOpen = true;
    char buf[4096];
    while (programOutputOpen || (deviceOpen && !toDevice.empty())) {
        pollfd fds[5] = {
            {stopRead, POLLIN, 0},
            {programOutputOpen && toDevice.size() < 65536 ? fromChild : -1, POLLIN, 0},
            {deviceOpen && programOutputOpen && toProgram.size() < 65536 ? deviceFd : -1, POLLIN, 0},
            {deviceOpen && !toDevice.empty() ? deviceFd : -1, POLLOUT, 0},
            {toChild >= 0 && !toProgram.empty() ? toChild : -1, POLLOUT, 0},
        };
        if (poll(fds, 5, 1000) < 0 && errno != EINTR)
            break;
        if (fds[0].revents)
            break;
        if (fds[1].revents) {
            ssize_t n = ::read(fromChild, buf, sizeof buf);
            if (n > 0)
                toDevice.insert(toDevice.end(), buf, buf + n);
            else if (n == 0 || errno != EAGAIN)
                programOutputOpen = false;
        }
        if (fds[2].revents & POLLIN) {
            ssize_t n = ::read(deviceFd, buf, sizeof buf);
            if (n > 0)
                toProgram.insert(toProgram.end(), buf, buf + n);
        }
        if (fds[2].revents & (POLLHUP | POLLERR)) {
            // The line is gone: the program sees the end of its input.
            deviceOpen = false;
            toDevice.clear();
        }
        if (deviceOpen && !toDevice.empty() && !writeSome(deviceFd, toDevice)) {
            deviceOpen = false;
            toDevice.clear();
        }
        if (toChild >= 0 && !toProgram.empty() && !writeSome(toChild, toProgram))
            toProgram.clear();
        if (!deviceOpen && toProgram.empty())
            closeFd(toChild);
    }
    closeFd(toChild);
    // Closing the device does not discard what was written to it: the
    // bytes are already with the other side of the pty.
    closeFd(deviceFd);
}

int PipePeer::wait(int timeoutMs)
{
    if (!started)
        return -1;
    if (!child.wait(timeoutMs)) {
        child.kill();
        stopRelay();
        if (relayThread.joinable())
            relayThread.join();
        return -1;
    }
    if (relayThread.joinable())
        relayThread.join();
    return child.exitStatus();
}

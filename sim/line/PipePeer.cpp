// Child program joined to a serial device by pipes and a relay thread.
#include "PipePeer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <string_view>
#include <unistd.h>

#include "PtyEnd.h"

extern char** environ;

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
    if (child > 0 && exitStatus < 0) {
        kill(child, SIGKILL);
        wait(5000);
    }
    if (stopWrite >= 0) {
        char c = 1;
        [[maybe_unused]] ssize_t n = ::write(stopWrite, &c, 1);
    }
    if (relayThread.joinable())
        relayThread.join();
    closeFd(deviceFd);
    closeFd(toChild);
    closeFd(fromChild);
    closeFd(stopRead);
    closeFd(stopWrite);
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
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string outPath = options.stdoutPath.empty() ? "/dev/null" : options.stdoutPath;
    if (relayed) {
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    std::string errPath = options.stderrPath.empty() ? "/dev/null" : options.stderrPath;
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (!options.workDir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workDir.c_str());
    std::vector<char*> argv;
    for (std::string& a : options.argv)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string_view entry(*e);
        bool replaced = false;
        for (const std::string& add : options.env)
            replaced = replaced || entry.substr(0, entry.find('=') + 1) == add.substr(0, add.find('=') + 1);
        if (!replaced)
            envp.push_back(*e);
    }
    for (std::string& e : options.env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    int r = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (relayed) {
        ::close(in[0]);
        ::close(out[1]);
    }
    if (r != 0) {
        child = -1;
        return -r;
    }
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
    if (child <= 0)
        return -1;
    if (exitStatus < 0) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int status = 0;
        for (;;) {
            pid_t r = wait4(child, &status, WNOHANG, &childUsage);
            if (r == child)
                break;
            if (r < 0 && errno != EINTR)
                return -1;
            if (std::chrono::steady_clock::now() >= end) {
                kill(child, SIGKILL);
                wait4(child, &status, 0, &childUsage);
                exitStatus = 255;
                if (stopWrite >= 0) {
                    char c = 1;
                    [[maybe_unused]] ssize_t n = ::write(stopWrite, &c, 1);
                }
                if (relayThread.joinable())
                    relayThread.join();
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (relayThread.joinable())
        relayThread.join();
    return exitStatus;
}

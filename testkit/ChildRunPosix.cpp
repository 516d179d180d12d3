// Child programs for the tests through ChildProcess, with their output captured (POSIX).
#include "testkit/ChildRun.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "process/ChildProcess.h"

namespace testkit {

namespace {

// Puts RLIMIT_FSIZE in place with SIGXFSZ ignored; false when refused.
bool applyFileSizeLimit(long long bytes)
{
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit lim{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    return ::setrlimit(RLIMIT_FSIZE, &lim) == 0;
}

// Reads both pipes until both have closed or the deadline (steady clock,
// none when timeLimitMs < 0) has passed; false at the deadline.
bool drainBoth(int outFd, int errFd, std::string& out, std::string& err, int timeLimitMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeLimitMs);
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* texts[2] = {&out, &err};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        int waitMs = -1;
        if (timeLimitMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            waitMs = static_cast<int>(left.count());
        }
        if (::poll(fds, 2, waitMs) < 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buf[4096];
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0)
                texts[i]->append(buf, static_cast<std::size_t>(n));
            else
                fds[i].fd = -1;
        }
    }
    return true;
}

} // namespace

ChildResult runProgram(const std::string& program, const std::vector<std::string>& argv,
                       const std::filesystem::path& dir, ChildLimits limits)
{
    ChildResult result;
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0)
        return result;
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return result;
    }
    ChildProcess child;
    child.redirectToDescriptor(ChildProcess::StdOut, outPipe[1]);
    child.redirectToDescriptor(ChildProcess::StdErr, errPipe[1]);
    child.searchPath(true);
    bool started;
    if (limits.fileSizeLimit >= 0) {
        // The limit is set in the child by a small program that then
        // replaces itself with the one under test.
        std::vector<std::string> args = {"testkit_limited", std::to_string(limits.fileSizeLimit), program};
        args.insert(args.end(), argv.begin(), argv.end());
        started = child.start(TESTKIT_LIMITED_PATH, args, dir.string());
    } else {
        started = child.start(program, argv, dir.string());
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    const bool drained = started && drainBoth(outPipe[0], errPipe[0], result.out, result.err, limits.timeLimitMs);
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    if (started && drained && child.wait(limits.timeLimitMs))
        result.exitStatus = child.exitStatus();
    return result;
}

bool fileSizeLimitSupported()
{
    return true;
}

int runInChild(const std::function<int()>& body, ChildLimits limits)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (limits.fileSizeLimit >= 0 && !applyFileSizeLimit(limits.fileSizeLimit))
            ::_exit(120);
        ::_exit(body());
    }
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
}

} // namespace testkit

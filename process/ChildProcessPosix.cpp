// ChildProcess on POSIX: posix_spawn, waitpid polling and SIGKILL.
#include "process/ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

struct ChildProcess::Impl {
    pid_t pid = -1;
    int status = -1;  // exit status once reaped
    rusage usage{};

    // Reaps the child if it has ended (blocking when block is set).
    bool reap(bool block)
    {
        if (pid <= 0 || status >= 0)
            return status >= 0;
        int raw = 0;
        for (;;) {
            pid_t r = ::wait4(pid, &raw, block ? 0 : WNOHANG, &usage);
            if (r == pid)
                break;
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0) {  // not our child any more: nothing left to wait for
                status = 255;
                return true;
            }
            return false;
        }
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : 255;
        return true;
    }
};

namespace {

// Environment of the child: ours with `added` entries put in place of any
// inherited entry of the same name.
std::vector<char*> childEnvironment(std::vector<std::string>& added)
{
    std::vector<char*> envp;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string_view entry(*e);
        bool replaced = false;
        for (const std::string& add : added)
            replaced = replaced || entry.substr(0, entry.find('=') + 1) == add.substr(0, add.find('=') + 1);
        if (!replaced)
            envp.push_back(*e);
    }
    for (std::string& e : added)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    return envp;
}

} // namespace

ChildProcess::ChildProcess() : impl(std::make_unique<Impl>()) {}

ChildProcess::~ChildProcess()
{
    if (running())
        kill();
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workDir)
{
    if (impl->pid > 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int stream = StdIn; stream <= StdErr; ++stream) {
        const Redirect& r = setup.streams[stream];
        const int writeFlags = O_WRONLY | O_CREAT | (r.kind == Redirect::Kind::AppendFile ? O_APPEND : O_TRUNC);
        switch (r.kind) {
        case Redirect::Kind::Inherit:
            break;
        case Redirect::Kind::Null:
            posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", stream == StdIn ? O_RDONLY : O_WRONLY, 0);
            break;
        case Redirect::Kind::File:
        case Redirect::Kind::AppendFile:
            posix_spawn_file_actions_addopen(&actions, stream, r.path.c_str(),
                                             stream == StdIn ? O_RDONLY : writeFlags, 0644);
            break;
        case Redirect::Kind::Descriptor:
            posix_spawn_file_actions_adddup2(&actions, r.fd, stream);
            break;
        case Redirect::Kind::SameAsOutput:
            posix_spawn_file_actions_adddup2(&actions, StdOut, stream);
            break;
        }
    }
    // The streams open first, so a relative file name means the same as for us;
    // the program path is looked up after the change of directory.
    if (!workDir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());

    std::vector<std::string> argCopy = args;
    std::vector<char*> argv;
    for (std::string& a : argCopy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp = childEnvironment(setup.environment);

    // The child starts with default signal handling and an empty signal mask,
    // whatever this process (a relay thread ignoring SIGPIPE, say) has set.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const bool search = setup.searchPath && program.find('/') == std::string::npos;
    int r = search ? posix_spawnp(&pid, program.c_str(), &actions, &attr, argv.data(), envp.data())
                   : posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (r != 0)
        return false;
    impl->pid = pid;
    impl->status = -1;
    return true;
}

bool ChildProcess::wait(int timeoutMs)
{
    if (impl->pid <= 0)
        return false;
    if (timeoutMs < 0)
        return impl->reap(true);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (impl->reap(false))
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void ChildProcess::kill()
{
    if (impl->pid <= 0 || impl->reap(false))
        return;
    ::kill(impl->pid, SIGKILL);
    impl->reap(true);
}

bool ChildProcess::running() const
{
    return impl->pid > 0 && !impl->reap(false);
}

int ChildProcess::exitStatus() const
{
    return impl->status;
}

ChildCpuTime ChildProcess::cpuTime() const
{
    auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; };
    return {ms(impl->usage.ru_utime), ms(impl->usage.ru_stime)};
}

long ChildProcess::processId() const
{
    return impl->pid;
}

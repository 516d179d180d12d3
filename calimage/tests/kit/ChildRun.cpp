// Test helpers: scratch directories, file I/O and child processes (POSIX).
#include "ChildRun.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
void applyLimits(const ChildLimits& limits)
{
    if (limits.fileSizeLimit >= 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit lim{static_cast<rlim_t>(limits.fileSizeLimit),
                         static_cast<rlim_t>(limits.fileSizeLimit)};
        if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) {
            ::_exit(120);
        }
    }
}

int statusOf(int wstatus)
{
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
}
} // namespace

ScratchDir::ScratchDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "calimage-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

ChildResult runProgram(const std::string& program, const std::vector<std::string>& argv,
                       const std::filesystem::path& dir, ChildLimits limits)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        if (::chdir(dir.c_str()) != 0) {
            ::_exit(121);
        }
        applyLimits(limits);
        ::execv(program.c_str(), args.data());
        ::_exit(122);
    }
    ::close(pipeFds[1]);
    ChildResult result;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0) {
        result.out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    result.exitStatus = statusOf(wstatus);
    return result;
}

int runInChild(const std::function<int()>& body, ChildLimits limits)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        applyLimits(limits);
        ::_exit(body());
    }
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    return statusOf(wstatus);
}

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

std::size_t entriesIn(const std::filesystem::path& dir)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                  std::filesystem::directory_iterator()));
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

namespace {
std::string drain(int fd)
{
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) {
        text.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}
} // namespace

ChildResult runProgram(const std::string& program, const std::vector<std::string>& argv,
                       const std::filesystem::path& dir, ChildLimits limits)
{
    int outPipe[2];
    int errPipe[2];
    if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        for (const int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) {
            ::close(fd);
        }
        if (::chdir(dir.c_str()) != 0) {
            ::_exit(121);
        }
        applyLimits(limits);
        ::execv(program.c_str(), args.data());
        ::_exit(122);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    ChildResult result;
    result.out = drain(outPipe[0]);
    result.err = drain(errPipe[0]);
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

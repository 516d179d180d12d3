// Child-process runner for the unitsim pty tests.
#include "UnitsimProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "comlink/CommLink.h"
#include "comlink/PortSettings.h"
#include "comlink/PosixCommPort.h"

namespace fs = std::filesystem;

namespace {

int statusOf(int raw)
{
    if (WIFEXITED(raw))
        return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw))
        return 128 + WTERMSIG(raw);
    return -1;
}

}  // namespace

ScratchDir::ScratchDir(const std::string& tag)
{
    std::string pattern = (fs::temp_directory_path() / ("unitsim-" + tag + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) != nullptr)
        dir = buffer.data();
}

ScratchDir::~ScratchDir()
{
    // UNITSIM_KEEP_SCRATCH keeps the folder (transcripts, outputs) for a look.
    std::error_code ec;
    if (!dir.empty() && std::getenv("UNITSIM_KEEP_SCRATCH") == nullptr)
        fs::remove_all(dir, ec);
}

UnitsimProcess::UnitsimProcess(const std::string& dir, const std::vector<std::string>& options)
    : link(dir + "/unit"), transcript(dir + "/transcript.jsonl"), outputFile(dir + "/unitsim.out")
{
    std::vector<std::string> args = {UNITSIM_PATH, "--link", link, "--transcript", transcript};
    args.insert(args.end(), options.begin(), options.end());
    // A unit a test forgets ends by itself.
    if (std::find(options.begin(), options.end(), "--idle-limit") == options.end())
        args.insert(args.end(), {"--idle-limit", "120"});
    // Everything the child needs is made before fork: it only redirects
    // its output and replaces itself.
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const char* outPath = outputFile.c_str();
    pid = ::fork();
    if (pid == 0) {
        int out = ::open(outPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    for (int i = 0; i < 1000 && pid > 0; ++i) {
        struct stat st;
        if (::lstat(link.c_str(), &st) == 0 && output().find("device: ") != std::string::npos) {
            ready = true;
            break;
        }
        if (waitExit(0) >= 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

UnitsimProcess::~UnitsimProcess()
{
    closeHost();
    stop();
}

std::string UnitsimProcess::output() const
{
    std::ifstream in(outputFile);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int UnitsimProcess::stop()
{
    if (pid > 0 && exitStatus < 0) {
        ::kill(pid, SIGTERM);
        if (waitExit(10000) < 0) {
            ::kill(pid, SIGKILL);
            int raw = 0;
            ::waitpid(pid, &raw, 0);
            exitStatus = statusOf(raw);
        }
    }
    return exitStatus;
}

int UnitsimProcess::waitExit(int timeoutMs)
{
    if (pid <= 0 || exitStatus >= 0)
        return exitStatus;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        int raw = 0;
        if (::waitpid(pid, &raw, WNOHANG) == pid) {
            exitStatus = statusOf(raw);
            return exitStatus;
        }
        if (timeoutMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return -1;
}

bool UnitsimProcess::openHost(int baud)
{
    closeHost();
    hostPort = std::make_unique<PosixCommPort>(link, 16384, 16384);
    if (hostPort->lastError != 0)
        return false;
    hostLink = std::make_unique<CommLink>(hostPort.get());
    return hostLink->settings != nullptr && hostLink->settings->setBaudRate(baud) == 0;
}

void UnitsimProcess::closeHost()
{
    hostLink.reset();
    hostPort.reset();
}

void UnitsimProcess::send(const std::string& text)
{
    hostLink->writeLine(text.c_str(), TERM_LF);
}

std::string UnitsimProcess::readReply(int timeoutMs)
{
    std::string reply;
    const std::uint32_t deadline = hostLink->tickMs() + static_cast<std::uint32_t>(timeoutMs);
    while (tickBefore(hostLink->tickMs(), deadline)) {
        int ch = hostLink->readChar(reply.find(">>") == std::string::npos ? 20 : 30);
        if (ch >= 0)
            reply += static_cast<char>(ch);
        else if (reply.find(">>") != std::string::npos)
            break;
    }
    return reply;
}

std::string UnitsimProcess::readFor(int ms)
{
    std::string text;
    const std::uint32_t deadline = hostLink->tickMs() + static_cast<std::uint32_t>(ms);
    while (tickBefore(hostLink->tickMs(), deadline)) {
        int ch = hostLink->readChar(10);
        if (ch >= 0)
            text += static_cast<char>(ch);
    }
    return text;
}

std::vector<nlohmann::json> UnitsimProcess::events() const
{
    std::vector<nlohmann::json> list;
    std::ifstream in(transcript);
    std::string line;
    while (std::getline(in, line))
        list.push_back(nlohmann::json::parse(line, nullptr, false));
    return list;
}

bool UnitsimProcess::waitForEvents(const std::string& event, std::size_t count, int timeoutMs,
                                   const std::string& text)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        std::size_t seen = 0;
        for (const auto& e : events())
            if (e.is_object() && e.value("event", "") == event && (text.empty() || e.value("text", "") == text))
                ++seen;
        if (seen >= count)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

std::vector<std::uint8_t> loadHeaderImage(std::uint32_t start, const std::vector<std::uint8_t>& payload)
{
    std::vector<std::uint8_t> image = {'E', 'S', 'T', 'F', 'B', 'I', 'N', 'R'};
    const std::uint32_t end = start + static_cast<std::uint32_t>(payload.size());
    for (std::uint32_t word : {start, end, 0xFF000000u, 0u, start, end})
        for (int k = 3; k >= 0; --k)
            image.push_back(static_cast<std::uint8_t>(word >> (8 * k)));
    image.insert(image.end(), payload.begin(), payload.end());
    return image;
}

bool writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<std::uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int runProgram(const std::vector<std::string>& args, const std::string& workDir,
               const std::string& outputPath, int timeoutMs)
{
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (std::string& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t child = ::fork();
    if (child == 0) {
        int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        if (::chdir(workDir.c_str()) != 0)
            ::_exit(126);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int raw = 0;
        if (::waitpid(child, &raw, WNOHANG) == child)
            return statusOf(raw);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
}

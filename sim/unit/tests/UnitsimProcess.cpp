// Child-process runner for the unitsim pty tests.
#include "UnitsimProcess.h"

#include <signal.h>
#include <sys/stat.h>

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
    child.redirectToFile(ChildProcess::StdOut, outputFile);
    child.mergeErrorIntoOutput();
    if (!child.start(args[0], args))
        return;
    for (int i = 0; i < 1000; ++i) {
        struct stat st;
        if (::lstat(link.c_str(), &st) == 0 && output().find("device: ") != std::string::npos) {
            ready = true;
            break;
        }
        if (child.wait(0))
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
    if (child.running()) {
        ::kill(static_cast<pid_t>(child.processId()), SIGTERM);
        if (!child.wait(10000))
            child.kill();
    }
    return child.exitStatus();
}

int UnitsimProcess::waitExit(int timeoutMs)
{
    child.wait(timeoutMs);
    return child.exitStatus();
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
    ChildProcess child;
    child.redirectToFile(ChildProcess::StdOut, outputPath);
    child.mergeErrorIntoOutput();
    child.searchPath(true);
    if (!child.start(args[0], args, workDir))
        return 127;
    if (!child.wait(timeoutMs)) {
        child.kill();
        return -1;
    }
    return child.exitStatus();
}

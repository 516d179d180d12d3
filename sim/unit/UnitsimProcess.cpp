// The unitsim program as a child process, and the host end of its line.
#include "sim/unit/UnitsimProcess.h"

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "comlink/CommLink.h"
#include "comlink/PortSettings.h"
#include "comlink/PosixCommPort.h"

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

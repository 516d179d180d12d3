// Runs the unitsim program as a child process and talks to it over its
// virtual line as a host does (for tests).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "process/ChildProcess.h"

class CommLink;
class CommPort;

// One unitsim process with a symbolic link to its host end inside dir.
class UnitsimProcess {
public:
    // Starts unitsim with the given options plus --link and --transcript in
    // dir; waits (up to 10 s) until the link exists. started() tells.
    UnitsimProcess(const std::string& dir, const std::vector<std::string>& options);
    // Stops a unit still running (SIGTERM) and waits for it.
    ~UnitsimProcess();

    bool started() const { return ready; }
    const std::string& linkPath() const { return link; }
    const std::string& transcriptPath() const { return transcript; }
    std::string output() const;  // what the program printed

    // Sends SIGTERM and waits; the exit status (128 + signal when killed).
    int stop();
    // Waits up to timeoutMs for the program to end by itself; its exit
    // status, or -1 when it is still running.
    int waitExit(int timeoutMs);

    // Host side: opens the link at baud (closing a previous host port).
    bool openHost(int baud);
    void closeHost();
    CommLink& host() { return *hostLink; }
    // Sends text and one LF, as the upgrade engine does.
    void send(const std::string& text);
    // Reads until ">>" has come (and 30 ms more have been quiet) or timeoutMs.
    std::string readReply(int timeoutMs = 2000);
    // Reads whatever comes within ms.
    std::string readFor(int ms);

    // The transcript's events, one JSON object each.
    std::vector<nlohmann::json> events() const;
    // Waits up to timeoutMs until the transcript holds at least count events
    // named event (and, when text is given, with that "text"). Use it before
    // letting go of the port: closing a port puts its old speed back, and
    // bytes the line has not yet taken would then count as sent at that speed.
    bool waitForEvents(const std::string& event, std::size_t count, int timeoutMs,
                       const std::string& text = "");

private:
    ChildProcess child;
    bool ready = false;
    std::string link;
    std::string transcript;
    std::string outputFile;
    std::unique_ptr<CommPort> hostPort;
    std::unique_ptr<CommLink> hostLink;
};

// Runs a program whose standard input and output reach a serial device through pipes.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "process/ChildProcess.h"

// Starts a program (a terminal-minded XMODEM tool, say) with its standard
// input and output as pipes, and relays them to and from a device such as
// an end of a VirtualLine. The pipes keep the program's own terminal
// handling (flushes at exit, modes) off the device, so that no byte it
// wrote last is thrown away. The relay hands the device every byte the
// program wrote before the program's output ended, then closes the device.
// Without a device it simply runs the program, its output going to a file.
// The owner thread calls start(), wait() and the destructor.
class PipePeer {
public:
    struct Options {
        std::vector<std::string> argv;  // argv[0] is looked up in PATH
        std::string workDir;            // empty: the current directory
        std::string device;             // device the relay opens; empty: no relay
        int baud = 0;                   // speed set on the device; 0 leaves it
        std::string stderrPath;         // the program's standard error; empty: /dev/null
        bool keepStderr = false;        // true: this process's standard error instead
        // Without a device: where standard output goes (empty: /dev/null);
        // standard input then reads /dev/null.
        std::string stdoutPath;
        std::vector<std::string> env;   // "NAME=VALUE" added to the environment
    };

    explicit PipePeer(Options options);
    // Kills a program still running, and waits for it and the relay.
    ~PipePeer();
    PipePeer(const PipePeer&) = delete;
    PipePeer& operator=(const PipePeer&) = delete;

    // Opens the device, starts the program and the relay. 0 or -errno.
    int start();
    // Waits up to timeoutMs for the program to end and the relay to finish.
    // Returns the exit status (0..255), 128 + the signal number when a
    // signal ended it, or -1 when it was still running at the limit (it is
    // then killed) or was never started.
    int wait(int timeoutMs);
    // The program's processor time; valid after wait() returned.
    ChildCpuTime cpuTime() const { return child.cpuTime(); }

    // Options for a program relayed to device.
    static Options relayed(std::vector<std::string> argv, std::string device, int baud,
                           std::string workDir = {}, std::string stderrPath = {})
    {
        Options o;
        o.argv = std::move(argv);
        o.device = std::move(device);
        o.baud = baud;
        o.workDir = std::move(workDir);
        o.stderrPath = std::move(stderrPath);
        return o;
    }

private:
    void relay();

    // Wakes the relay so that it ends.
    void stopRelay();

    Options options;
    ChildProcess child;
    bool started = false;
    int deviceFd = -1;
    int toChild = -1;    // write end of the program's standard input
    int fromChild = -1;  // read end of its standard output
    int stopRead = -1;
    int stopWrite = -1;
    std::thread relayThread;
};

// Starts a program as a child process, waits for it with a time limit and reports how it ended.
#pragma once

#include <memory>
#include <string>
#include <vector>

// Processor time a child used, in milliseconds.
struct ChildCpuTime {
    double userMs = 0;
    double systemMs = 0;
};

// One child program. Configure its standard streams and environment before
// start(); everything else follows it. All calls come from the owner thread.
// The child never sees a descriptor or handle of ours besides the streams
// given to it.
class ChildProcess {
public:
    ChildProcess();
    // A child still running is killed and reaped.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Standard stream numbers for the redirect calls.
    static constexpr int StdIn = 0;
    static constexpr int StdOut = 1;
    static constexpr int StdErr = 2;

    // The child's stream reads the file at path (StdIn) or writes it,
    // created if missing, emptied first unless append is set.
    void redirectToFile(int stream, const std::string& path, bool append = false);
    // The child's stream reads nothing / writes into nothing (the null device).
    void redirectToNull(int stream);
    // The child's stream is a copy of our descriptor fd (a pipe end, say;
    // on Windows a C runtime descriptor). fd must stay open until start().
    void redirectToDescriptor(int stream, int fd);
    // The child's standard error goes where its standard output goes (2>&1).
    void mergeErrorIntoOutput();
    // "NAME=VALUE" entries added to the inherited environment, each
    // replacing an inherited entry of the same name.
    void addEnvironment(const std::vector<std::string>& entries);
    // A program name without a directory is looked up in PATH, as a shell
    // would; otherwise it is taken as a path.
    void searchPath(bool search);

    // Starts `program` with `args` (args[0] is what the child sees as its own name).
    // A relative `program` is resolved against `workDir` when workDir is not empty
    // (the child also runs in workDir), else against the current directory.
    // An empty args gives a child without arguments (argc 0 on POSIX).
    // True when the child was started; false also for a second start.
    bool start(const std::string& program, const std::vector<std::string>& args,
               const std::string& workDir = {});
    // Waits up to timeoutMs (negative: no limit) for the child to end; true once it has ended
    // (exitStatus() is then valid). wait(0) only polls. False when it is still
    // running at the limit or was never started.
    bool wait(int timeoutMs);
    // Ends the child at once (SIGKILL / TerminateProcess) and reaps it.
    void kill();
    // True between a successful start() and the child's end.
    bool running() const;
    // The exit code; 128 + signal number when a signal ended it (137 after
    // kill() on Windows too); -1 before the end.
    int exitStatus() const;
    // Processor time the child used; valid once it has ended.
    ChildCpuTime cpuTime() const;
    // The child's process id (for a signal of the caller's choosing); -1 before start().
    long processId() const;

    struct Impl;

private:
    // Where one standard stream goes.
    struct Redirect {
        enum class Kind { Inherit, Null, File, AppendFile, Descriptor, SameAsOutput } kind = Kind::Inherit;
        std::string path;
        int fd = -1;
    };
    // What start() needs besides the program and its arguments.
    struct Setup {
        Redirect streams[3];
        std::vector<std::string> environment;
        bool searchPath = false;
    };

    Setup setup;
    std::unique_ptr<Impl> impl;
};

// Runs a program to its end. Returns its exit status, -1 when it could not be started,
// -2 when timeLimitMs (>= 0) passed (the child is then killed).
int runChildProgram(const std::string& program, const std::vector<std::string>& args,
                    const std::string& workDir = {}, int timeLimitMs = -1);

// Test helpers that run a built program (or a function) in a child process, with optional limits.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testkit {

// How a child ended: exitStatus is its exit code, 128 + the signal number
// when a signal ended it, or -1 when it could not start or outlived its
// time limit; out and err are what it wrote to standard output and
// standard error.
struct ChildResult {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

// Limits for the child. fileSizeLimit >= 0 caps the size of files it
// writes, and a write past it fails with EFBIG the way a full disk fails
// instead of killing the child (see fileSizeLimitSupported). timeLimitMs
// >= 0 kills a child that runs longer.
struct ChildLimits {
    long long fileSizeLimit = -1;
    int timeLimitMs = -1;
};

// Runs `program` with argument vector `argv` (argv[0] included, as the child
// sees it) in directory `dir`, capturing its output streams. A program
// name without a directory is looked up in PATH.
ChildResult runProgram(const std::string& program, const std::vector<std::string>& argv,
                       const std::filesystem::path& dir, ChildLimits limits = {});

// True where ChildLimits::fileSizeLimit can be applied (POSIX); elsewhere
// runProgram refuses a run with a file size limit (exit status -1), and a
// test that needs one skips itself.
bool fileSizeLimitSupported();

// Runs `body` in a forked child under `limits` (the time limit aside);
// returns its result as the child's exit status (-1 when it died of a
// signal). POSIX only.
int runInChild(const std::function<int()>& body, ChildLimits limits);

} // namespace testkit

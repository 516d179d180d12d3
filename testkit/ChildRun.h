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
// instead of killing the child (POSIX). timeLimitMs >= 0 kills a child that
// runs longer.
struct ChildLimits {
    long long fileSizeLimit = -1;
    int timeLimitMs = -1;
};

// Runs `program` with argument vector `argv` (argv[0] included, as the child
// sees it) in directory `dir`, capturing its output streams. A program
// name without a directory is looked up in PATH.
ChildResult runProgram(const std::string& program, const std::vector<std::string>& argv,
                       const std::filesystem::path& dir, ChildLimits limits = {});

// Runs `body` in a forked child under `limits` (the time limit aside);
// returns its result as the child's exit status (-1 when it died of a
// signal).
int runInChild(const std::function<int()>& body, ChildLimits limits);

} // namespace testkit

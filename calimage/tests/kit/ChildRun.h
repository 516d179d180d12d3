// Test helpers: scratch directories, whole-file I/O and running a built
// program (or a function) in a child process with optional limits.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// A fresh directory below the system's temporary directory, removed with
// everything in it when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path file(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Number of entries in a directory (to see that no stray file was left).
std::size_t entriesIn(const std::filesystem::path& dir);

std::vector<std::uint8_t> readBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);

// How a child ended: exitStatus is its exit code, or -1 when a signal ended
// it; out and err are what it wrote to standard output and standard error
// (read one after the other: fine for the few lines these programs write).
struct ChildResult {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

// Limits for the child. fileSizeLimit >= 0 sets RLIMIT_FSIZE to that many
// bytes and ignores SIGXFSZ, so that a write past it fails with EFBIG the
// way a full disk fails, instead of killing the child.
struct ChildLimits {
    long long fileSizeLimit = -1;
};

// Runs `program` with argument vector `argv` (argv[0] included, as the child
// sees it) in directory `dir`, capturing its output streams.
ChildResult runProgram(const std::string& program, const std::vector<std::string>& argv,
                       const std::filesystem::path& dir, ChildLimits limits = {});

// Runs `body` in a forked child under `limits`; returns its result as the
// child's exit status (-1 when it died of a signal).
int runInChild(const std::function<int()>& body, ChildLimits limits);

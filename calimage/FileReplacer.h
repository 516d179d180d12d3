// Replaces a file all at once: bytes go to a temporary file beside the
// target, which is renamed over the target only after every byte was written
// and the file closed without error.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// Usage: create(), write() any number of times, commit(). Until commit()
// succeeds the target is untouched: a failed create, write or commit, or
// destruction without commit, leaves the previous target (or its absence) as
// it was and removes the temporary file. Single-threaded; one object per
// target at a time. The platform part lives in FileReplacerPosix.cpp and
// FileReplacerWin32.cpp.
class FileReplacer {
public:
    explicit FileReplacer(std::string target);
    ~FileReplacer();
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;

    // Creates the temporary file. False when the target cannot be replaced:
    // it is a directory or a read-only file, or its directory takes no new
    // file.
    bool create();
    // Appends all of `data`. False when any byte could not be written (disk
    // full, file size limit, I/O error); every later call then fails too.
    bool write(std::span<const std::uint8_t> data);
    // Flushes the file to the disk, closes it and renames it over the target.
    // False when anything failed on the way, including an earlier write.
    bool commit();

    const std::string& target() const { return target_; }

private:
    void discard();

    std::string target_;
    std::string temp_;
    std::intptr_t handle_ = -1;  // platform handle of the open temporary file
    bool failed_ = false;
};

// create(), write(bytes), commit() in one call.
bool replaceFile(const std::string& target, std::span<const std::uint8_t> bytes);

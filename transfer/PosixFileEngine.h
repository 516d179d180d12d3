// The file engine over the POSIX file API (open/read/write, opendir, fnmatch).
#pragma once

#include <string>

#include "FileEngine.h"
#include "FileWalk.h"

// Paths use '/' as separator; file parts match with '*' and '?' only (other
// fnmatch specials are taken literally). Directory listings are sorted by
// name so that a wildcard picks the same file on every run.
class PosixFileEngine : public FileEngine {
public:
    PosixFileEngine();
    ~PosixFileEngine() override;

    int start(const char* list, int recurse) override;
    int open(const char* path, const char* mode) override;
    int close() override;
    int seek(int offset, int origin) override;
    int tell() override;
    int size() override;
    int nextFile() override;
    unsigned write(const std::uint8_t* bytes, unsigned n) override;
    unsigned read(std::uint8_t* bytes, unsigned n) override;
    const char* nameBuffer() override { return name.c_str(); }

    int sizeCache = -1;  // size measured by size(); -1 when not yet measured
    int recurse = 0;

private:
    std::string name;    // path of the current file found by the walk
    int fd = -1;
    FileWalk walk;
};

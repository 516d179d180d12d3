// The file engine over the POSIX file API (open/read/write, opendir, fnmatch).
#pragma once

#include "transfer/FileWalk.h"

#include <string>

// True when name matches pattern, in which only '*' (any run of characters,
// also none) and '?' (any one character) are special; every other character,
// '[', ']' and '\\' too, matches itself. Both are read up to a NUL.
bool wildcardMatch(const std::string& pattern, const std::string& name);

// Paths use '/' as separator; file parts match with '*' and '?' only (other
// fnmatch specials are taken literally). Directory listings are sorted by
// name so that a wildcard picks the same file on every run.
class PosixFileEngine : public WalkingFileEngine {
public:
    PosixFileEngine();
    ~PosixFileEngine() override;

    int open(const char* path, const char* mode) override;
    int close() override;
    int seek(int offset, int origin) override;
    int tell() override;
    int size() override;
    unsigned write(const std::uint8_t* bytes, unsigned n) override;
    unsigned read(std::uint8_t* bytes, unsigned n) override;

private:
    bool isOpen() const override { return fd >= 0; }

    int fd = -1;
};

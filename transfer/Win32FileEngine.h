// The file engine over the Win32 file API (CreateFileA, FindFirstFileA).
#pragma once

#include <string>

#include "FileEngine.h"
#include "FileWalk.h"

// Paths use '\' (or '/') as separator, or a drive's ':' when neither is
// present; FindFirstFileA matches the '*' and '?' wildcards.
class Win32FileEngine : public FileEngine {
public:
    Win32FileEngine();
    ~Win32FileEngine() override;

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
    std::string name;       // path of the current file found by the walk
    void* handle = nullptr; // the open file's HANDLE, or null
    FileWalk walk;
};

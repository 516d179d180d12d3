// The file engine over the Win32 file API (CreateFileA, FindFirstFileA).
#pragma once

#include "transfer/FileWalk.h"

// Paths use '\' (or '/') as separator, or a drive's ':' when neither is
// present; FindFirstFileA matches the '*' and '?' wildcards.
class Win32FileEngine : public WalkingFileEngine {
public:
    Win32FileEngine();
    ~Win32FileEngine() override;

    int open(const char* path, const char* mode) override;
    int close() override;
    int seek(int offset, int origin) override;
    int tell() override;
    int size() override;
    unsigned write(const std::uint8_t* bytes, unsigned n) override;
    unsigned read(std::uint8_t* bytes, unsigned n) override;

private:
    bool isOpen() const override { return handle != nullptr; }

    void* handle = nullptr; // the open file's HANDLE, or null
};

// A file engine over a byte buffer: the transfer engine sends the unit's
// memory from it and receives an upload into it, without touching disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "transfer/FileEngine.h"

// Holds one "file" in memory. Any name given to start() resolves to that
// one file. Opening with "w" empties it; reading starts at its beginning.
// Writing stops at `capacity` bytes (a short write then fails the receive),
// so a host that never stops sending cannot exhaust the unit's memory.
// One thread, like every file engine.
class MemoryFileEngine : public FileEngine {
public:
    explicit MemoryFileEngine(std::vector<std::uint8_t> contents = {},
                              std::size_t capacity = 2 * 1024 * 1024);

    int start(const char* list, int recurse) override;
    int open(const char* path, const char* mode) override;
    int close() override;
    int seek(int offset, int origin) override;
    int tell() override;
    int size() override;
    int nextFile() override;
    unsigned write(const std::uint8_t* bytes, unsigned n) override;
    unsigned read(std::uint8_t* bytes, unsigned n) override;
    const char* nameBuffer() override;

    const std::vector<std::uint8_t>& contents() const { return data; }

private:
    std::vector<std::uint8_t> data;
    std::size_t capacity;
    std::size_t position = 0;
    bool isOpen = false;
    bool found = false;
    std::string name;
};

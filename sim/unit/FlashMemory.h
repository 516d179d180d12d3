// The unit's 1 MiB flash image, erased to 0xFF, with bounds-checked access.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/unit/MemoryMap.h"

class FlashMemory {
public:
    FlashMemory();

    // Copies count bytes at address into out. False (out untouched) when the
    // range does not lie wholly inside the flash.
    bool read(std::uint32_t address, std::uint32_t count, std::vector<std::uint8_t>& out) const;
    // Writes bytes at address. False (nothing written) when the range does
    // not lie wholly inside the flash.
    bool write(std::uint32_t address, const std::uint8_t* bytes, std::size_t count);
    // True when [address, address + count) lies inside the flash.
    static bool contains(std::uint64_t address, std::uint64_t count);

    const std::vector<std::uint8_t>& bytes() const { return image; }
    // Replaces the whole image; false (unchanged) unless it is exactly 1 MiB.
    bool assign(const std::vector<std::uint8_t>& whole);

private:
    std::vector<std::uint8_t> image;
};

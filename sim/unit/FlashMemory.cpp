// Bounds-checked reads and writes of the flash image.
#include "sim/unit/FlashMemory.h"

#include <algorithm>

FlashMemory::FlashMemory() : image(kFlashSize, 0xFF) {}

bool FlashMemory::contains(std::uint64_t address, std::uint64_t count)
{
    return address <= kFlashSize && count <= kFlashSize - address;
}

bool FlashMemory::read(std::uint32_t address, std::uint32_t count,
                       std::vector<std::uint8_t>& out) const
{
    if (!contains(address, count))
        return false;
    out.assign(image.begin() + address, image.begin() + address + count);
    return true;
}

bool FlashMemory::write(std::uint32_t address, const std::uint8_t* bytes, std::size_t count)
{
    if (!contains(address, count) || (count > 0 && bytes == nullptr))
        return false;
    std::copy(bytes, bytes + count, image.begin() + address);
    return true;
}

bool FlashMemory::assign(const std::vector<std::uint8_t>& whole)
{
    if (whole.size() != kFlashSize)
        return false;
    image = whole;
    return true;
}

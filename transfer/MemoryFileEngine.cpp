// An in-memory file engine: the virtual unit's flash transfers and the fuzz targets.
#include "transfer/MemoryFileEngine.h"

#include <algorithm>
#include <cstring>

MemoryFileEngine::MemoryFileEngine(std::vector<std::uint8_t> contents, std::size_t capacity)
    : data(std::move(contents)), capacity(capacity)
{
}

int MemoryFileEngine::start(const char* list, int)
{
    if (list != nullptr)
        name = list;
    found = false;
    isOpen = false;
    return 0;
}

int MemoryFileEngine::open(const char*, const char* mode)
{
    if (isOpen)
        return FILE_ENGINE_BUSY;
    if (std::strchr(mode, 'w') != nullptr && std::strchr(mode, 'r') == nullptr)
        data.clear();
    position = std::strchr(mode, 'a') != nullptr ? data.size() : 0;
    isOpen = true;
    return 0;
}

int MemoryFileEngine::close()
{
    if (!isOpen)
        return FILE_ENGINE_NOT_OPEN;
    isOpen = false;
    return 0;
}

int MemoryFileEngine::seek(int offset, int origin)
{
    if (!isOpen)
        return FILE_ENGINE_NOT_OPEN;
    long base = origin == FILE_SEEK_CURRENT ? static_cast<long>(position)
                : origin == FILE_SEEK_END   ? static_cast<long>(data.size())
                                            : 0;
    long target = base + offset;
    if (target < 0 || static_cast<std::size_t>(target) > data.size())
        return FILE_ENGINE_SEEK_FAILED;
    position = static_cast<std::size_t>(target);
    return 0;
}

int MemoryFileEngine::tell()
{
    return isOpen ? static_cast<int>(position) : FILE_ENGINE_NOT_OPEN;
}

int MemoryFileEngine::size()
{
    return static_cast<int>(data.size());
}

int MemoryFileEngine::nextFile()
{
    if (found)
        return 0;
    found = true;
    return 1;
}

unsigned MemoryFileEngine::write(const std::uint8_t* bytes, unsigned n)
{
    if (!isOpen || position > capacity)
        return 0;
    std::size_t take = std::min<std::size_t>(n, capacity - position);
    if (position + take > data.size())
        data.resize(position + take);
    std::copy(bytes, bytes + take, data.begin() + static_cast<std::ptrdiff_t>(position));
    position += take;
    return static_cast<unsigned>(take);
}

unsigned MemoryFileEngine::read(std::uint8_t* bytes, unsigned n)
{
    if (!isOpen || position >= data.size())
        return 0;
    std::size_t take = std::min<std::size_t>(n, data.size() - position);
    std::copy(data.begin() + static_cast<std::ptrdiff_t>(position),
              data.begin() + static_cast<std::ptrdiff_t>(position + take), bytes);
    position += take;
    return static_cast<unsigned>(take);
}

const char* MemoryFileEngine::nameBuffer()
{
    return found ? name.c_str() : "";
}

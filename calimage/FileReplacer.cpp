// The portable part of FileReplacer.
#include "calimage/FileReplacer.h"

#include <utility>

FileReplacer::FileReplacer(std::string target) : target_(std::move(target)) {}

bool replaceFile(const std::string& target, std::span<const std::uint8_t> bytes)
{
    FileReplacer file(target);
    return file.create() && file.write(bytes) && file.commit();
}

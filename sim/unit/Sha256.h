// SHA-256 digests of transferred files, as lower-case hexadecimal text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// 64 hexadecimal characters; empty only if the digest library fails.
std::string sha256Hex(const std::uint8_t* bytes, std::size_t count);
inline std::string sha256Hex(const std::vector<std::uint8_t>& bytes)
{
    return sha256Hex(bytes.data(), bytes.size());
}

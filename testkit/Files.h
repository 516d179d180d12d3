// Test helpers for files: whole-file byte I/O, repeatable pattern data, directory counts.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testkit {

// The whole file; empty when it cannot be read.
std::vector<std::uint8_t> readBytes(const std::filesystem::path& file);
// The whole file as text; empty when it cannot be read.
std::string readText(const std::filesystem::path& file);
// Replaces the file with bytes; false when not every byte was written.
bool writeBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);

// n bytes of a repeatable pseudo-random pattern (the same seed gives the
// same bytes; never one value throughout).
std::vector<std::uint8_t> patternBytes(std::size_t n, std::uint32_t seed = 1);

// Number of entries in a directory (to see that no stray file was left).
std::size_t entriesIn(const std::filesystem::path& dir);

} // namespace testkit

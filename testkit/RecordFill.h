// Test helpers: reproducible pseudo-random contents, so that every field of
// a test record holds its own value and a field taken from the wrong place
// cannot pass for the right one; images to and from bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "calimage/CalImages.h"
#include "calimage/CalRecord.h"

namespace testkit {

// Fills every element of `rec` with pseudo-random bits from `seed`.
void fillRandom(CalRecord& rec, std::uint32_t seed);

// A two-set image of `setLayout` with random header and sets (each from its
// own seed) and the given current_set.
CalImage randomImage(const Layout& setLayout, std::uint16_t currentSet);

// The image as writeCalImage writes it; and read back from bytes.
std::vector<std::uint8_t> imageBytes(const CalImage& image);
CalImage parseImage(const std::vector<std::uint8_t>& bytes, const Layout& setLayout);

// The big-endian 32-bit word at byte `at`.
std::uint32_t be32(const std::vector<std::uint8_t>& bytes, std::size_t at);

// The 32 bytes a LoadHeader for [start, end) must hold, spelled out byte by
// byte (independently of the library's writer).
std::vector<std::uint8_t> expectedLoadHeader(std::uint32_t start, std::uint32_t end);
// That header for [start, start + payload size) followed by payload: an image
// the unit writes at start.
std::vector<std::uint8_t> loadHeaderImage(std::uint32_t start, const std::vector<std::uint8_t>& payload);

// "\nLF cal set." with 7 dots, then "\nRF cal set." with `rfDots` dots.
std::string setTexts(int rfDots);

} // namespace testkit

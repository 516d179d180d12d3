// Test helpers: reproducible pseudo-random contents, so that every field of
// a test record holds its own value and a field taken from the wrong place
// cannot pass for the right one; images to and from bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "CalImages.h"
#include "CalRecord.h"

// `n` pseudo-random bytes from `seed` (the same seed gives the same bytes).
std::vector<std::uint8_t> randomBytes(std::size_t n, std::uint32_t seed);

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

// "\nLF cal set." with 7 dots, then "\nRF cal set." with `rfDots` dots.
std::string setTexts(int rfDots);

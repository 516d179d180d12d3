// Test helpers: reproducible pseudo-random contents, so that every field of
// a test record holds its own value and a field taken from the wrong place
// cannot pass for the right one.
#pragma once

#include <cstdint>
#include <vector>

#include "CalRecord.h"

// `n` pseudo-random bytes from `seed` (the same seed gives the same bytes).
std::vector<std::uint8_t> randomBytes(std::size_t n, std::uint32_t seed);

// Fills every element of `rec` with pseudo-random bits from `seed`.
void fillRandom(CalRecord& rec, std::uint32_t seed);

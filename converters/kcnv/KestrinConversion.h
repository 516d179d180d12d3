// Builds an old_velmora calibration set from a kestrin calibration set.
#pragma once

#include <cstdint>

#include "calimage/CalRecord.h"

// The old_velmora set converted from `kestrin` (a KestrinCalSet record):
// LF part and most RF tables copied bit for bit, tables with other row
// lengths or counts reshaped, axes, masks and grids A and B replaced by the
// built-in constants, and CalAdj_dB computed from flat_m and flat_b. Entries
// nothing fills stay zero.
CalRecord convertKestrinSet(const CalRecord& kestrin);

// One CalAdj_dB entry in hundredths of a decibel from the flatness pair
// (M unsigned, B signed): t = 2400 * M + B in 32 bits, shifted right
// arithmetically by 15 bits, minus 2400, as a signed 16-bit value.
std::int16_t calAdjDb(std::uint16_t flatM, std::int16_t flatB);

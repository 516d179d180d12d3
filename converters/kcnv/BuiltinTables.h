// The constants the kestrin conversion puts in place of tables whose source
// values are not carried over: two axes, the 82 masks and two grid tables.
#pragma once

#include <array>
#include <cstdint>

// rf_points of the old_velmora set: 2 MHz, then 10 MHz steps to 320 MHz.
extern const std::array<float, 33> kRfPointsAxis;
// rf_points_2 of the old_velmora set; the tenth point is 81 MHz.
extern const std::array<float, 18> kRfPoints2Axis;
// rf_masks of the old_velmora set, in their (unsorted) stored order.
extern const std::array<std::uint32_t, 82> kRfMasks;
// Grid tables A and B by row j (33 rows) and column i; rf_grid_a[i][j] is
// kGridA[j][i]. Written as float literals so that each entry is the nearest
// f32 to its two-place decimal value.
extern const float kGridA[33][17];
extern const float kGridB[33][6];

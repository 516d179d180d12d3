// Builds a velmora calibration set from an old_velmora calibration set.
#pragma once

#include "calimage/CalRecord.h"

// The velmora set converted from `old` (an OldVelmoraCalSet record): the LF
// part and the RF tables both layouts share copied bit for bit, and rf_avg,
// entry k the mean of the four rf_s10 rows at k truncated toward zero. The
// other old_velmora tables have no place in the velmora set.
CalRecord convertOldVelmoraSet(const CalRecord& old);

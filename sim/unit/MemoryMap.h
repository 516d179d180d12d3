// The unit's flash map: calibration region by model and kind, custom cable
// database by model and firmware version, converted-table address by kind.
#pragma once

#include <cstdint>

#include "sim/unit/UnitIdentity.h"

constexpr std::uint32_t kFlashSize = 0x100000;          // 1 MiB
constexpr std::uint32_t kCableDatabaseSize = 0x960;     // 2400 bytes

struct FlashRegion {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::uint32_t end() const { return start + length; }
};

// Where the factory calibration tables live: 256 KiB for models below 7410
// (the kestrin layout), 128 KiB for the 7410 (the old_velmora layout).
FlashRegion calibrationRegion(int model, UnitKind kind);

// Where the firmware of the given version keeps the custom cable database.
// Each firmware generation moved it; versions at or above the last move use
// the newest place.
std::uint32_t cableDatabaseAddress(int model, double version);

// Where the converted (velmora) tables are loaded: the load address the
// converter writes for this kind.
std::uint32_t convertedCalibrationAddress(UnitKind kind);

// Size of the converted tables behind their load header.
constexpr std::uint32_t kConvertedCalibrationSize = 13144;

// Addresses of the unit's flash map.
#include "sim/unit/MemoryMap.h"

FlashRegion calibrationRegion(int model, UnitKind kind)
{
    bool display = kind == UnitKind::Display;
    if (model == 7410)
        return display ? FlashRegion{0x90000, 0x20000} : FlashRegion{0x50000, 0x20000};
    return display ? FlashRegion{0x70000, 0x40000} : FlashRegion{0x30000, 0x40000};
}

std::uint32_t cableDatabaseAddress(int model, double version)
{
    if (model == 7410)
        return version < 2.014 ? 0xB79A4 : 0xC01CC;
    if (version < 1.2)
        return 0xB6218;
    if (version <= 1.221)
        return 0xB6220;
    if (version < 1.312)
        return 0xB9EF0;
    return 0xB9AE4;
}

std::uint32_t convertedCalibrationAddress(UnitKind kind)
{
    return kind == UnitKind::Display ? 0x90000 : 0x60000;
}

// Block checks of the transfer engine: 8- and 16-bit sums and CRC-16/XMODEM.
#pragma once

#include <cstdint>

// Check kinds, indexes into checkKindNames().
enum CheckKind : int {
    CHECK_NOT_DETERMINED = 0,
    CHECK_SUM8 = 1,
    CHECK_SUM16 = 2,
    CHECK_CRC16 = 3,
    CHECK_CRC32 = 4,
};

// The five check-kind names, indexed by CheckKind. Constant data.
const char* const* checkKindNames();

// One-byte checksum: the sum of the bytes modulo 256. Base of the other checks.
// A check object belongs to one transfer and is used by one thread.
class Checksum8 {
public:
    Checksum8() = default;
    virtual ~Checksum8() = default;
    // Computes the check over length bytes (seed unused by the sums), keeps
    // it in `value` and returns it.
    virtual unsigned compute(const std::uint8_t* bytes, unsigned length, int seed);

    std::uint32_t value = 0;
    int width = 8;
};

// Two-byte checksum: the sum of the bytes modulo 65536.
class Checksum16 : public Checksum8 {
public:
    Checksum16() { width = 16; }
    unsigned compute(const std::uint8_t* bytes, unsigned length, int seed) override;
};

// CRC-16/XMODEM: polynomial 0x1021, most significant bit first, no
// reflection, no final XOR; the engine seeds it with 0. Check value over
// "123456789" is 0x31C3.
class Crc16 : public Checksum8 {
public:
    Crc16() { width = 16; }
    unsigned compute(const std::uint8_t* bytes, unsigned length, int seed) override;
};

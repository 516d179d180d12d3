// Big-endian field readers over a binary stream and writers into a byte buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <span>
#include <vector>

// Reads big-endian fields one byte at a time from a stream opened in binary
// mode. Every byte past the end of the stream (or after a read error) reads
// as 0xFF, so a missing u32 is 0xFFFFFFFF, a missing i16 is -1 and a missing
// f32 has the pattern 0xFFFFFFFF. Short input is not an error here: callers
// that care ask pastEnd(). Not thread-safe; one reader per stream.
class ByteReader {
public:
    explicit ByteReader(std::istream& in);

    std::uint8_t u8();
    std::uint16_t u16();
    std::int16_t i16();
    std::uint32_t u32();
    float f32();

    // True once at least one byte had to be made up as 0xFF.
    bool pastEnd() const { return pastEnd_; }
    // Bytes consumed so far, made-up ones included.
    std::uint64_t count() const { return count_; }

private:
    std::streambuf* in_;
    bool pastEnd_ = false;
    std::uint64_t count_ = 0;
};

// Appends big-endian fields one byte at a time to a byte buffer and keeps a
// running count of the bytes it wrote. The buffer belongs to the caller.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out);

    void u8(std::uint8_t v);
    void u16(std::uint16_t v);
    void u32(std::uint32_t v);
    void f32(float v);
    void bytes(std::span<const std::uint8_t> data);

    // Bytes written through this writer.
    std::uint64_t count() const { return count_; }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t count_ = 0;
};

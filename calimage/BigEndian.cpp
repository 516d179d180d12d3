// Big-endian field readers and writers.
#include "calimage/BigEndian.h"

#include <bit>

ByteReader::ByteReader(std::istream& in) : in_(in.rdbuf()) {}

std::uint8_t ByteReader::u8()
{
    ++count_;
    if (!pastEnd_ && in_ != nullptr) {
        const auto c = in_->sbumpc();
        if (c != std::char_traits<char>::eof()) {
            return static_cast<std::uint8_t>(c);
        }
    }
    // Once the stream has ended (or failed) it is never asked again, so a
    // stream that recovers cannot shift the bytes that follow.
    pastEnd_ = true;
    return 0xFF;
}

std::uint16_t ByteReader::u16()
{
    const std::uint16_t hi = u8();
    return static_cast<std::uint16_t>((hi << 8) | u8());
}

std::int16_t ByteReader::i16()
{
    return static_cast<std::int16_t>(u16());
}

std::uint32_t ByteReader::u32()
{
    const std::uint32_t hi = u16();
    return (hi << 16) | u16();
}

float ByteReader::f32()
{
    return std::bit_cast<float>(u32());
}

ByteWriter::ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}

void ByteWriter::u8(std::uint8_t v)
{
    out_.push_back(v);
    ++count_;
}

void ByteWriter::u16(std::uint16_t v)
{
    u8(static_cast<std::uint8_t>(v >> 8));
    u8(static_cast<std::uint8_t>(v));
}

void ByteWriter::u32(std::uint32_t v)
{
    u16(static_cast<std::uint16_t>(v >> 16));
    u16(static_cast<std::uint16_t>(v));
}

void ByteWriter::f32(float v)
{
    u32(std::bit_cast<std::uint32_t>(v));
}

void ByteWriter::bytes(std::span<const std::uint8_t> data)
{
    for (const std::uint8_t b : data) {
        u8(b);
    }
}

// Big-endian readers and writers, including reads past the end of the data.
#include <gtest/gtest.h>

#include <bit>
#include <sstream>

#include "calimage/BigEndian.h"

namespace {
std::istringstream bytesStream(std::initializer_list<unsigned char> bytes)
{
    return std::istringstream(std::string(bytes.begin(), bytes.end()), std::ios::binary);
}
} // namespace

TEST(ByteReader, AssemblesMostSignificantByteFirst)
{
    auto in = bytesStream({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0xFF, 0xFE, 0x3F, 0x80, 0x00, 0x00});
    ByteReader r(in);
    EXPECT_EQ(r.u8(), 0x01);
    EXPECT_EQ(r.u16(), 0x0203);
    EXPECT_EQ(r.u32(), 0x04050607u);
    EXPECT_EQ(r.i16(), -2);
    EXPECT_EQ(r.f32(), 1.0f);
    EXPECT_FALSE(r.pastEnd());
    EXPECT_EQ(r.count(), 13u);
}

TEST(ByteReader, EveryByteMissingAtTheEndReadsAs0xFF)
{
    auto in = bytesStream({0xAB, 0xCD});
    ByteReader r(in);
    EXPECT_EQ(r.u32(), 0xABCDFFFFu);
    EXPECT_TRUE(r.pastEnd());
    EXPECT_EQ(r.i16(), -1);
    EXPECT_EQ(r.u16(), 0xFFFF);
    EXPECT_EQ(r.u8(), 0xFF);
    EXPECT_EQ(r.count(), 9u);

    auto empty = bytesStream({});
    ByteReader e(empty);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(e.f32()), 0xFFFFFFFFu);
}

TEST(ByteWriter, WritesMostSignificantByteFirstAndCounts)
{
    std::vector<std::uint8_t> out{0xEE};  // existing contents are kept
    ByteWriter w(out);
    w.u8(0x12);
    w.u16(0x3456);
    w.u32(0x789ABCDEu);
    w.f32(-2.0f);
    const std::uint8_t tail[] = {9, 8};
    w.bytes(tail);
    const std::vector<std::uint8_t> expected{0xEE, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC,
                                             0xDE, 0xC0, 0x00, 0x00, 0x00, 9,    8};
    EXPECT_EQ(out, expected);
    EXPECT_EQ(w.count(), 13u);
}

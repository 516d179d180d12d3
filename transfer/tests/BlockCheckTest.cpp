// Block checks: catalogue values, table entries, sums that wrap, seeding.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "transfer/BlockCheck.h"

namespace {

unsigned crcOf(const std::vector<std::uint8_t>& bytes, int seed = 0)
{
    return Crc16().compute(bytes.data(), static_cast<unsigned>(bytes.size()), seed);
}

TEST(Crc16, MatchesTheCatalogueCheckValue)
{
    const char* digits = "123456789";
    Crc16 crc;
    EXPECT_EQ(crc.compute(reinterpret_cast<const std::uint8_t*>(digits), 9, 0), 0x31C3u);
    EXPECT_EQ(crc.value, 0x31C3u);
    EXPECT_EQ(crc.width, 16);
}

TEST(Crc16, SingleBytesGiveTheTableEntries)
{
    // With a zero register one byte b yields table[b].
    EXPECT_EQ(crcOf({0x01}), 0x1021u);
    EXPECT_EQ(crcOf({0x02}), 0x2042u);
    EXPECT_EQ(crcOf({0x80}), 0x9188u);
    EXPECT_EQ(crcOf({0xFF}), 0x1EF0u);
}

TEST(Crc16, EmptyAndZeroBlocksGiveZero)
{
    EXPECT_EQ(crcOf({}), 0u);
    EXPECT_EQ(crcOf(std::vector<std::uint8_t>(128, 0)), 0u);
    EXPECT_EQ(crcOf(std::vector<std::uint8_t>(1024, 0)), 0u);
}

TEST(Crc16, SeedContinuesAComputationAcrossPieces)
{
    std::vector<std::uint8_t> all(300);
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const std::vector<std::uint8_t> head(all.begin(), all.begin() + 111);
    const std::vector<std::uint8_t> tail(all.begin() + 111, all.end());
    EXPECT_EQ(crcOf(tail, static_cast<int>(crcOf(head))), crcOf(all));
}

TEST(Crc16, DetectsASingleBitFlipAnywhereInABlock)
{
    std::vector<std::uint8_t> block(128, 0x5A);
    const unsigned good = crcOf(block);
    for (std::size_t i = 0; i < block.size(); ++i)
        for (int bit = 0; bit < 8; ++bit) {
            block[i] ^= static_cast<std::uint8_t>(1 << bit);
            ASSERT_NE(crcOf(block), good) << "byte " << i << " bit " << bit;
            block[i] ^= static_cast<std::uint8_t>(1 << bit);
        }
}

TEST(Checksums, SumModuloTheirWidth)
{
    const std::uint8_t abc[] = {0x61, 0x62, 0x63};
    Checksum8 sum8;
    Checksum16 sum16;
    EXPECT_EQ(sum8.width, 8);
    EXPECT_EQ(sum16.width, 16);
    EXPECT_EQ(sum8.compute(abc, 3, 0), 0x26u);
    EXPECT_EQ(sum16.compute(abc, 3, 0), 0x126u);
    EXPECT_EQ(sum8.compute(abc, 0, 0), 0u);

    const std::vector<std::uint8_t> ones(300, 0xFF);  // 76500
    EXPECT_EQ(sum8.compute(ones.data(), 300, 0), 76500u % 256);
    EXPECT_EQ(sum16.compute(ones.data(), 300, 0), 76500u % 65536);
    // The seed is not a starting value for the sums.
    EXPECT_EQ(sum8.compute(abc, 3, 0x55), 0x26u);
}

TEST(Checksums, ValueIsRecomputedNotAccumulatedAcrossCalls)
{
    const std::uint8_t a[] = {0x10, 0x20};
    Checksum8 sum;
    sum.compute(a, 2, 0);
    EXPECT_EQ(sum.compute(a, 2, 0), 0x30u);
    EXPECT_EQ(sum.value, 0x30u);
}

TEST(CheckKindNames, NameEachKind)
{
    const char* const* names = checkKindNames();
    EXPECT_STREQ(names[CHECK_NOT_DETERMINED], "Not Determined");
    EXPECT_STREQ(names[CHECK_SUM8], "1 Byte Checksum");
    EXPECT_STREQ(names[CHECK_SUM16], "2 Byte Checksum");
    EXPECT_STREQ(names[CHECK_CRC16], "16 bit CRC");
    EXPECT_STREQ(names[CHECK_CRC32], "32 bit CRC");
}

} // namespace

// Load-header placement and version tags of received files.
#include <gtest/gtest.h>

#include <cstring>

#include "sim/unit/MemoryMap.h"
#include "sim/unit/UploadImage.h"

namespace {

void putWord(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        b[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v >> (24 - 8 * k));
}

std::vector<std::uint8_t> loadImage(std::uint32_t start, std::uint32_t end, std::size_t payload)
{
    std::vector<std::uint8_t> b(32 + payload, 0x5A);
    std::memcpy(b.data(), "ESTFBINR", 8);
    putWord(b, 8, start);
    putWord(b, 12, end);
    putWord(b, 16, 0xFF000000);
    putWord(b, 20, 0);
    putWord(b, 24, start);
    putWord(b, 28, end);
    return b;
}

TEST(UploadPlacement, ConvertedTablesWithEitherBlockPadding)
{
    // 13144 image bytes declared as 13156: with 1024-byte blocks the padding
    // fills the declared span, with 128-byte blocks the file ends first.
    std::vector<std::uint8_t> padded1k = loadImage(0x90000, 0x90000 + 13156, 13312 - 32);
    UploadPlacement p = placeUpload(padded1k);
    EXPECT_EQ(p.kind, UploadPlacement::Placed);
    EXPECT_EQ(p.start, 0x90000u);
    EXPECT_EQ(p.count, 13156u);
    std::vector<std::uint8_t> padded128 = loadImage(0x60000, 0x60000 + 13156, 13184 - 32);
    EXPECT_EQ(placeUpload(padded128).count, 13152u);
}

TEST(UploadPlacement, RefusedAndPlainFiles)
{
    auto mismatched = loadImage(0x90000, 0x90100, 0x100);
    putWord(mismatched, 24, 0x90001);
    EXPECT_EQ(placeUpload(mismatched).kind, UploadPlacement::Refused);
    EXPECT_EQ(placeUpload(loadImage(0x90100, 0x90000, 0x100)).kind, UploadPlacement::Refused);
    EXPECT_EQ(placeUpload(loadImage(0xFFF00, 0x100100, 0x100)).kind, UploadPlacement::Refused);
    auto top = placeUpload(loadImage(0xFFF00, 0x100000, 0x100));
    EXPECT_EQ(top.kind, UploadPlacement::Placed);
    EXPECT_EQ(top.count, 0x100u);

    std::vector<std::uint8_t> plain(4096, 0x00);
    EXPECT_EQ(placeUpload(plain).kind, UploadPlacement::Plain);
    std::vector<std::uint8_t> shortHeader(20, 0);
    std::memcpy(shortHeader.data(), "ESTFBINR", 8);
    EXPECT_EQ(placeUpload(shortHeader).kind, UploadPlacement::Plain);
}

TEST(VersionTag, FoundAnywhereReadWithTheLeadingNumberRule)
{
    auto bytesOf = [](const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
    std::string image(5000, '\0');
    image.replace(3000, 11, "FWVER=1.312");
    EXPECT_DOUBLE_EQ(findVersionTag(bytesOf(image)), 1.312);
    EXPECT_DOUBLE_EQ(findVersionTag(bytesOf("xxFWVER=2.122)yy")), 2.122);
    EXPECT_DOUBLE_EQ(findVersionTag(bytesOf("FWVER=2.1")), 2.1);
    EXPECT_EQ(findVersionTag(bytesOf("FWVER=x.1")), 0.0);
    EXPECT_EQ(findVersionTag(bytesOf("FWVER=-1.2")), 0.0);
    EXPECT_EQ(findVersionTag(bytesOf("no tag here")), 0.0);
}

TEST(MemoryMap, CableDatabaseMovesWithTheFirmwareGeneration)
{
    EXPECT_EQ(cableDatabaseAddress(7355, 1.19), 0xB6218u);
    EXPECT_EQ(cableDatabaseAddress(7355, 1.2), 0xB6220u);
    EXPECT_EQ(cableDatabaseAddress(7355, 1.221), 0xB6220u);
    EXPECT_EQ(cableDatabaseAddress(7300, 1.222), 0xB9EF0u);
    EXPECT_EQ(cableDatabaseAddress(7350, 1.312), 0xB9AE4u);
    EXPECT_EQ(cableDatabaseAddress(7410, 2.013), 0xB79A4u);
    EXPECT_EQ(cableDatabaseAddress(7410, 2.014), 0xC01CCu);
    // Calibration regions never reach the cable database or each other's kind.
    for (int model : {7355, 7410}) {
        FlashRegion ne = calibrationRegion(model, UnitKind::Display);
        FlashRegion fe = calibrationRegion(model, UnitKind::Remote);
        EXPECT_LE(fe.end(), ne.start);
        EXPECT_LE(ne.end(), 0xB6218u);
    }
}

}  // namespace

// Whole-image reading and writing: sizes, headers, checksums, short input.
#include <gtest/gtest.h>

#include <sstream>

#include "calimage/CalImages.h"
#include "testkit/RecordFill.h"
#include "testkit/Files.h"

using namespace testkit;

namespace {
std::istringstream streamOf(const std::vector<std::uint8_t>& bytes)
{
    return std::istringstream(std::string(bytes.begin(), bytes.end()), std::ios::binary);
}

std::vector<std::uint8_t> slice(const std::vector<std::uint8_t>& b, std::size_t from, std::size_t to)
{
    return {b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(to)};
}

bool allBitsSet(const CalRecord& rec)
{
    for (FieldId f = 0; f < rec.layout().fields().size(); ++f) {
        const std::uint32_t mask = fieldTypeSize(rec.layout().fieldSpec(f).type) == 1   ? 0xFFu
                                   : fieldTypeSize(rec.layout().fieldSpec(f).type) == 2 ? 0xFFFFu
                                                                                   : 0xFFFFFFFFu;
        for (const std::uint32_t v : rec.values(f)) {
            if (v != mask) {
                return false;
            }
        }
    }
    return true;
}

CalRecord sourceHeader(std::uint16_t contents, std::uint32_t timestamp)
{
    CalRecord h(factorycalHeaderLayout());
    h.setBits(factorycalField("checksum"), 0, 0xDEADBEEF);
    h.setBits(factorycalField("contents"), 0, contents);
    h.setBits(factorycalField("current_set"), 0, 1);
    h.setBits(factorycalField("timestamp"), 0, timestamp);
    return h;
}
} // namespace

TEST(CalSum, SumsUnsignedBytesIntoAWrappingWord)
{
    std::istringstream empty(std::string{}, std::ios::binary);
    ByteReader in(empty);
    CalRecord set(oldVelmoraSetLayout());
    readRecord(in, set);
    EXPECT_EQ(calSum(set), 15583560u);  // 61112 x 255

    const std::vector<std::uint8_t> many(16843010, 0xFF);  // 255 x that passes 2^32
    EXPECT_EQ(calSum(many), 254u);
}

TEST(KestrinImage, ReadsBackWhatWasWrittenExceptTheFillByte)
{
    std::vector<std::uint8_t> bytes = patternBytes(257688, 7);
    auto in = streamOf(bytes);
    ByteReader reader(in);
    const KestrinImage image = readKestrinImage(reader, {});
    EXPECT_EQ(reader.count(), 257688u);
    EXPECT_FALSE(reader.pastEnd());

    std::vector<std::uint8_t> again;
    ByteWriter writer(again);
    writeCalImage(writer, image);
    // The fill byte of each set is dropped on reading and written as 0.
    bytes[12 + 19977] = 0;
    bytes[128850 + 19977] = 0;
    EXPECT_EQ(again, bytes);
}

TEST(KestrinImage, AHeaderOnlyFileGivesTwoSetsOf0xFF)
{
    const std::vector<std::uint8_t> bytes{0, 1, 2, 3, 0, 9, 0, 2, 4, 5, 6, 7};
    auto in = streamOf(bytes);
    ByteReader reader(in);
    const KestrinImage image = readKestrinImage(reader, {});
    EXPECT_EQ(image.header.u32(factorycalField("checksum")), 0x00010203u);
    EXPECT_EQ(image.header.u16(factorycalField("contents")), 9);
    EXPECT_EQ(image.header.u32(factorycalField("timestamp")), 0x04050607u);
    EXPECT_EQ(currentSetIndex(image.header), 1u);
    EXPECT_TRUE(allBitsSet(image.sets[0]));
    EXPECT_TRUE(allBitsSet(image.sets[1]));
}

TEST(KestrinImage, AFileCutInsideAFieldKeepsItsBytesAndFillsTheRest)
{
    std::vector<std::uint8_t> bytes = patternBytes(5232 + 2, 3);  // 2 bytes of rf_aux_w1
    auto in = streamOf(bytes);
    ByteReader reader(in);
    const KestrinImage image = readKestrinImage(reader, {});
    const std::uint32_t w1 = image.sets[0].u32(kestrinField("rf_aux_w1"));
    EXPECT_EQ(w1 >> 16, (std::uint32_t{bytes[5232]} << 8) | bytes[5233]);
    EXPECT_EQ(w1 & 0xFFFF, 0xFFFFu);
    EXPECT_EQ(image.sets[0].u16(kestrinField("rf_aux_h1")), 0xFFFF);
    EXPECT_TRUE(allBitsSet(image.sets[1]));
}

TEST(CurrentSet, AnyNonzeroValueSelectsSetOne)
{
    CalRecord h(factorycalHeaderLayout());
    for (const std::uint16_t v : {0, 1, 2, 0x8000, 0xFFFF}) {
        h.setBits(factorycalField("current_set"), 0, v);
        EXPECT_EQ(currentSetIndex(h), v == 0 ? 0u : 1u) << v;
    }
}

TEST(OldVelmoraImage, OneSetImageCarriesItsChecksumAndTheSourceWords)
{
    CalRecord set(oldVelmoraSetLayout());
    fillRandom(set, 11);
    std::string texts;
    std::vector<std::uint8_t> out;
    ByteWriter writer(out);
    writeOldVelmoraImage(writer, sourceHeader(0xA1B2, 0xC3D4E5F6), set,
                         Progress{[&](std::string_view t) { texts += t; }, 7, 13});
    ASSERT_EQ(out.size(), 61124u);
    EXPECT_EQ(writer.count(), 61124u);
    EXPECT_EQ(be32(out, 0), calSum(slice(out, 12, out.size())));
    EXPECT_EQ(be32(out, 0), calSum(set));
    EXPECT_EQ(be32(out, 4), 0xA1B20000u);  // contents, then current_set 0
    EXPECT_EQ(be32(out, 8), 0xC3D4E5F6u);
    EXPECT_EQ(texts, "\nLF cal set." + std::string(7, '.') + "\nRF cal set." + std::string(13, '.'));

    // Read back as a two-set image: set 0 as written, set 1 all 0xFF.
    auto in = streamOf(out);
    ByteReader reader(in);
    const OldVelmoraImage back = readOldVelmoraImage(reader, {});
    EXPECT_EQ(back.sets[0], set);
    EXPECT_TRUE(allBitsSet(back.sets[1]));
    EXPECT_EQ(currentSetIndex(back.header), 0u);
}

TEST(VelmoraLoadImage, HeaderAddressesChecksumAndSize)
{
    CalRecord set(velmoraSetLayout());
    fillRandom(set, 5);
    for (const std::uint32_t start : {kVelmoraStartNe, kVelmoraStartFe}) {
        std::vector<std::uint8_t> out;
        ByteWriter writer(out);
        std::string texts;
        writeVelmoraLoadImage(writer, start, sourceHeader(0x0102, 0x03040506), set,
                              Progress{[&](std::string_view t) { texts += t; }, 7, 9});
        ASSERT_EQ(out.size(), 13176u);
        EXPECT_EQ(slice(out, 0, 32), expectedLoadHeader(start, start + 0x3364));
        EXPECT_EQ(be32(out, 32), calSum(slice(out, 42, out.size())));
        EXPECT_EQ(be32(out, 36), 0x01020304u);  // contents, then the timestamp's top half
        EXPECT_EQ(be32(out, 38), 0x03040506u);
        EXPECT_EQ(texts, "\nLF cal set." + std::string(7, '.') + "\nRF cal set." + std::string(9, '.'));
    }
}

TEST(KestrinImage, ReadingPrintsOneDotAfterTheHeaderAndEachSetsParts)
{
    std::istringstream empty(std::string{}, std::ios::binary);
    ByteReader in(empty);
    std::string texts;
    readKestrinImage(in, Progress{[&](std::string_view t) { texts += t; }, 7, 17});
    const std::string set = "\nLF cal set." + std::string(7, '.') + "\nRF cal set." + std::string(17, '.');
    EXPECT_EQ(texts, "." + set + set);
}

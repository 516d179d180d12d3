// Kcnv as the main program runs it: texts, exit status, files, failures.
#include <gtest/gtest.h>

#include "converters/kcnv/tests/KcnvHarness.h"

using namespace testkit;

using namespace kcnvtest;

TEST(KcnvRun, ADownloadedRegionGivesTheExactTextsAndA61124ByteImage)
{
    const KestrinImage image = randomKestrin(0);
    std::vector<std::uint8_t> region = bytesOf(image);
    const std::vector<std::uint8_t> tail = patternBytes(262144 - region.size(), 9);
    region.insert(region.end(), tail.begin(), tail.end());
    ScratchDir dir;
    writeBytes(dir.file("caltab.bin"), region);

    const ChildResult run = runKcnv(dir);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, readingTexts(false) + kWriteTexts);
    const std::vector<std::uint8_t> out = readBytes(dir.file("output1.bin"));
    ASSERT_EQ(out.size(), 61124u);
    EXPECT_EQ(out[6], 0);
    EXPECT_EQ(out[7], 0);
    EXPECT_EQ(be32(out, 0), calSum(std::span(out).subspan(12)));
    EXPECT_EQ(out[4] << 8 | out[5], image.header.u16(factorycalField("contents")));
    EXPECT_EQ(be32(out, 8), image.header.u32(factorycalField("timestamp")));
    EXPECT_EQ(entriesIn(dir.path()), 2u);

    // The bytes past the image are never used.
    ScratchDir exact;
    writeBytes(exact.file("caltab.bin"), bytesOf(image));
    EXPECT_EQ(runKcnv(exact).exitStatus, 1);
    EXPECT_EQ(readBytes(exact.file("output1.bin")), out);
}

TEST(KcnvRun, NonzeroCurrentSetWarnsAndConvertsSetOne)
{
    for (const std::uint16_t current : {1, 2}) {
        const KestrinImage image = randomKestrin(current);
        ScratchDir dir;
        writeBytes(dir.file("caltab.bin"), bytesOf(image));
        const ChildResult run = runKcnv(dir);
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.out, readingTexts(true) + kWriteTexts);
        const OldVelmoraImage out = parseOldVelmora(readBytes(dir.file("output1.bin")));
        EXPECT_EQ(out.sets[0].u32(oldVelmoraField("ate_sn")), image.sets[1].u32(kestrinField("ate_sn")));
        EXPECT_EQ(currentSetIndex(out.header), 0u);
    }
}

TEST(KcnvRun, TheFillByteNeverReachesTheOutput)
{
    std::vector<std::uint8_t> bytes = bytesOf(randomKestrin(0));
    ScratchDir a;
    bytes[12 + 19977] = 0x00;
    writeBytes(a.file("caltab.bin"), bytes);
    ScratchDir b;
    bytes[12 + 19977] = 0xA5;
    writeBytes(b.file("caltab.bin"), bytes);
    ASSERT_EQ(runKcnv(a).exitStatus, 1);
    ASSERT_EQ(runKcnv(b).exitStatus, 1);
    EXPECT_EQ(readBytes(a.file("output1.bin")), readBytes(b.file("output1.bin")));
}

TEST(KcnvRun, EmptyAndHeaderOnlyInputsConvertSetsOf0xFF)
{
    const std::vector<std::uint8_t> header{1, 2, 3, 4, 0x12, 0x34, 0, 0, 5, 6, 7, 8};
    for (const std::size_t size : {std::size_t{0}, header.size()}) {
        ScratchDir dir;
        writeBytes(dir.file("caltab.bin"), std::vector<std::uint8_t>(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(size)));
        const ChildResult run = runKcnv(dir);
        EXPECT_EQ(run.exitStatus, 1);
        // An empty file reads current_set as 0xFFFF, which selects set 1.
        EXPECT_EQ(run.out, readingTexts(size == 0) + kWriteTexts);
        const std::vector<std::uint8_t> bytes = readBytes(dir.file("output1.bin"));
        ASSERT_EQ(bytes.size(), 61124u);
        EXPECT_EQ(be32(bytes, 4), size == 0 ? 0xFFFF0000u : 0x12340000u);
        EXPECT_EQ(be32(bytes, 8), size == 0 ? 0xFFFFFFFFu : 0x05060708u);
        const OldVelmoraImage out = parseOldVelmora(bytes);
        EXPECT_EQ(out.sets[0].u32(oldVelmoraField("ate_sn")), 0xFFFFFFFFu);
        // flat_m 0xFFFF and flat_b -1: t = 157283999, >> 15 = 4799.
        EXPECT_EQ(out.sets[0].i16(oldVelmoraField("CalAdj_dB"), 0), 2399);
        EXPECT_EQ(out.sets[0].i16(oldVelmoraField("CalAdj_dB"), 179), 0);
    }
}

TEST(KcnvRun, AMissingInputEndsSilentlyAndTouchesNothing)
{
    ScratchDir dir;
    EXPECT_EQ(runKcnv(dir).exitStatus, 0);
    EXPECT_EQ(entriesIn(dir.path()), 0u);

    const std::vector<std::uint8_t> old{1, 2, 3};
    writeBytes(dir.file("output1.bin"), old);
    const ChildResult run = runKcnv(dir);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(readBytes(dir.file("output1.bin")), old);
}

TEST(KcnvRun, AnOutputThatCannotBeCreatedIsReported)
{
    ScratchDir dir;
    writeBytes(dir.file("caltab.bin"), bytesOf(randomKestrin(0)));
    std::filesystem::create_directory(dir.file("output1.bin"));
    const ChildResult run = runKcnv(dir);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, readingTexts(false) + kErrorText);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("output1.bin")));
    EXPECT_EQ(entriesIn(dir.path()), 2u);
}

TEST(KcnvRun, AWriteThatFailsPartWayIsReportedAndKeepsTheOldOutput)
{
    if (!fileSizeLimitSupported())
        GTEST_SKIP() << "no file size limit for a child on this platform";
    ScratchDir dir;
    writeBytes(dir.file("caltab.bin"), bytesOf(randomKestrin(0)));
    const std::vector<std::uint8_t> old(100, 0x77);
    writeBytes(dir.file("output1.bin"), old);
    // Files may not grow past 8192 bytes: the 61124-byte output stops
    // part-way, as on a full disk.
    const ChildResult run = runKcnv(dir, ChildLimits{8192});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, readingTexts(false) + kWriteTexts.substr(0, kWriteTexts.find("\n\n")) + kErrorText);
    EXPECT_EQ(readBytes(dir.file("output1.bin")), old);
    EXPECT_EQ(entriesIn(dir.path()), 2u);
}

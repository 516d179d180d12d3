// Lcnv as the main program runs it: texts, addresses, exit status, files,
// failures, and the hand-over from Kcnv.
#include <gtest/gtest.h>

#include "converters/lcnv/tests/LcnvHarness.h"

using namespace testkit;

using namespace lcnvtest;

TEST(LcnvRun, NeLoadsAt90000AndEveryOtherWordAt60000)
{
    const OldVelmoraImage image = randomImage(oldVelmoraSetLayout(), 0);
    for (const std::string arg : {"NE", "FE", "ne", "NE "}) {
        SCOPED_TRACE(arg);
        ScratchDir dir;
        writeBytes(dir.file("output1.bin"), imageBytes(image));
        const ChildResult run = runLcnv(dir, arg);
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.out, readingTexts(arg, false) + kWriteTexts);
        const std::vector<std::uint8_t> out = readBytes(dir.file("output2.bin"));
        ASSERT_EQ(out.size(), 13176u);
        // NE: 00 09 00 00 and 00 09 33 64; otherwise 00 06 00 00 and 00 06 33 64.
        const std::uint32_t start = arg == "NE" ? 0x00090000u : 0x00060000u;
        EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 32),
                  expectedLoadHeader(start, start + 0x3364));
        EXPECT_EQ(be32(out, 32), calSum(std::span(out).subspan(42)));
        EXPECT_EQ(out[36] << 8 | out[37], image.header.u16(factorycalField("contents")));
        EXPECT_EQ(be32(out, 38), image.header.u32(factorycalField("timestamp")));
    }
}

TEST(LcnvRun, ConvertsWhatKcnvWroteWithoutAWarning)
{
    ScratchDir dir;
    writeBytes(dir.file("caltab.bin"), imageBytes(randomImage(kestrinSetLayout(), 1)));
    ASSERT_EQ(runProgram(KCNV_PATH, {"Kcnv.exe", " "}, dir.path()).exitStatus, 1);
    const ChildResult run = runLcnv(dir, "FE");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, readingTexts("FE", false) + kWriteTexts);
    EXPECT_EQ(readBytes(dir.file("output2.bin")).size(), 13176u);
}

TEST(LcnvRun, NonzeroCurrentSetWarnsAndConvertsSetOne)
{
    const OldVelmoraImage image = randomImage(oldVelmoraSetLayout(), 3);
    ScratchDir dir;
    writeBytes(dir.file("output1.bin"), imageBytes(image));
    const ChildResult run = runLcnv(dir, "NE");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, readingTexts("NE", true) + kWriteTexts);
    const CalRecord set = parseVelmoraSet(readBytes(dir.file("output2.bin")));
    EXPECT_EQ(set.u32(velmoraField("ate_sn")), image.sets[1].u32(oldVelmoraField("ate_sn")));
}

TEST(LcnvRun, ADownloadedRegionAndShortInputsStillGiveA13176ByteImage)
{
    std::vector<std::uint8_t> region = imageBytes(randomImage(oldVelmoraSetLayout(), 0));
    const std::vector<std::uint8_t> tail = patternBytes(131072 - region.size(), 4);
    region.insert(region.end(), tail.begin(), tail.end());
    ScratchDir full;
    writeBytes(full.file("output1.bin"), region);
    ASSERT_EQ(runLcnv(full, "NE").exitStatus, 1);
    ScratchDir exact;
    writeBytes(exact.file("output1.bin"), std::vector<std::uint8_t>(region.begin(), region.begin() + 122236));
    ASSERT_EQ(runLcnv(exact, "NE").exitStatus, 1);
    EXPECT_EQ(readBytes(full.file("output2.bin")), readBytes(exact.file("output2.bin")));

    for (const std::size_t size : {std::size_t{0}, std::size_t{5000}}) {
        ScratchDir dir;
        writeBytes(dir.file("output1.bin"), std::vector<std::uint8_t>(region.begin(), region.begin() + static_cast<std::ptrdiff_t>(size)));
        const ChildResult run = runLcnv(dir, "FE");
        EXPECT_EQ(run.exitStatus, 1);
        const std::vector<std::uint8_t> out = readBytes(dir.file("output2.bin"));
        ASSERT_EQ(out.size(), 13176u);
        // Missing bytes read as 0xFF: the mean of four -1 is -1.
        EXPECT_EQ(parseVelmoraSet(out).i16(velmoraField("rf_avg"), 4095), -1);
    }
}

TEST(LcnvRun, AMissingInputPrintsOnlyTheArgumentLine)
{
    ScratchDir dir;
    const std::vector<std::uint8_t> old{4, 5, 6};
    writeBytes(dir.file("output2.bin"), old);
    const ChildResult run = runLcnv(dir, "NE");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, "\n2 NE\n");
    EXPECT_EQ(readBytes(dir.file("output2.bin")), old);
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(LcnvRun, CountsEveryCommandLineWord)
{
    ScratchDir dir;
    const ChildResult run = runProgram(LCNV_PATH, {"Lcnv", "FE", "extra"}, dir.path());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, "\n3 FE\n");
}

TEST(LcnvRun, WithoutAnArgumentItPrintsUsageAndWritesNothing)
{
    ScratchDir dir;
    writeBytes(dir.file("output1.bin"), imageBytes(randomImage(oldVelmoraSetLayout(), 0)));
    for (const std::vector<std::string>& argv : {std::vector<std::string>{"Lcnv"}, std::vector<std::string>{}}) {
        const ChildResult run = runProgram(LCNV_PATH, argv, dir.path());
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("usage: Lcnv NE|FE", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
        EXPECT_EQ(entriesIn(dir.path()), 1u);
    }
}

TEST(LcnvRun, AnOutputThatCannotBeCreatedIsReported)
{
    ScratchDir dir;
    writeBytes(dir.file("output1.bin"), imageBytes(randomImage(oldVelmoraSetLayout(), 0)));
    std::filesystem::create_directory(dir.file("output2.bin"));
    const ChildResult run = runLcnv(dir, "NE");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, readingTexts("NE", false) + kErrorText);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("output2.bin")));
}

TEST(LcnvRun, AWriteThatFailsPartWayIsReportedAndKeepsTheOldOutput)
{
    if (!fileSizeLimitSupported())
        GTEST_SKIP() << "no file size limit for a child on this platform";
    ScratchDir dir;
    writeBytes(dir.file("output1.bin"), imageBytes(randomImage(oldVelmoraSetLayout(), 0)));
    const std::vector<std::uint8_t> old(10, 0x42);
    writeBytes(dir.file("output2.bin"), old);
    const ChildResult run = runLcnv(dir, "NE", ChildLimits{4096});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, readingTexts("NE", false) + setTexts(9) + kErrorText);
    EXPECT_EQ(readBytes(dir.file("output2.bin")), old);
    EXPECT_EQ(entriesIn(dir.path()), 2u);
}

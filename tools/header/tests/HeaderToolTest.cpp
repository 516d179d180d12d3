// The header tool as the main program runs it: load images of regions,
// cable database copies, bad arguments and failed writes.
#include <gtest/gtest.h>

#include "testkit/ChildRun.h"
#include "testkit/Files.h"
#include "testkit/ScratchDir.h"
#include "testkit/RecordFill.h"

using namespace testkit;

namespace {
ChildResult runHeader(const ScratchDir& dir, std::vector<std::string> args, ChildLimits limits = {})
{
    args.insert(args.begin(), "header");
    return runProgram(HEADER_PATH, args, dir.path(), limits);
}

std::vector<std::uint8_t> concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
} // namespace

TEST(HeaderTool, LoadImageOfADownloadedRegion)
{
    ScratchDir dir;
    const std::vector<std::uint8_t> region = patternBytes(0x40000, 1);
    writeBytes(dir.file("caltab.bin"), region);
    const ChildResult run = runHeader(dir, {"+", "caltab.bin", "A12345678.bin", "70000", "B0000"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(readBytes(dir.file("A12345678.bin")), concat(expectedLoadHeader(0x70000, 0xB0000), region));
}

TEST(HeaderTool, ShortSourcesArePaddedWith0xFFAndLongOnesCut)
{
    ScratchDir dir;
    const std::vector<std::uint8_t> cables = patternBytes(2400, 2);
    writeBytes(dir.file("custom_cables.in"), cables);
    // Lower-case digits are accepted as well.
    ASSERT_EQ(runHeader(dir, {"+", "custom_cables.in", "short.bin", "b9ae4", "BA544"}).exitStatus, 1);
    EXPECT_EQ(readBytes(dir.file("short.bin")),
              concat(concat(expectedLoadHeader(0xB9AE4, 0xBA544), cables), std::vector<std::uint8_t>(256, 0xFF)));
    ASSERT_EQ(runHeader(dir, {"+", "custom_cables.in", "long.bin", "C01CC", "C02CC"}).exitStatus, 1);
    EXPECT_EQ(readBytes(dir.file("long.bin")),
              concat(expectedLoadHeader(0xC01CC, 0xC02CC), std::vector<std::uint8_t>(cables.begin(), cables.begin() + 256)));
    writeBytes(dir.file("empty.in"), {});
    ASSERT_EQ(runHeader(dir, {"+", "empty.in", "empty.bin", "0", "10"}).exitStatus, 1);
    EXPECT_EQ(readBytes(dir.file("empty.bin")), concat(expectedLoadHeader(0, 16), std::vector<std::uint8_t>(16, 0xFF)));
}

TEST(HeaderTool, CopyWritesTheSourceUnchanged)
{
    ScratchDir dir;
    const std::vector<std::uint8_t> cables = patternBytes(2400, 3);
    writeBytes(dir.file("custom_cables.i"), cables);
    writeBytes(dir.file("custom_cables.in"), {1, 2, 3});
    const ChildResult run = runHeader(dir, {"c", "custom_cables.i", "custom_cables.in"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(readBytes(dir.file("custom_cables.in")), cables);
}

TEST(HeaderTool, BadArgumentsPrintUsageAndWriteNothing)
{
    ScratchDir dir;
    writeBytes(dir.file("src"), {1, 2, 3});
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"+"},
        {"x", "src", "dst"},
        {"c", "src"},
        {"c", "src", "dst", "extra"},
        {"+", "src", "dst", "70000"},
        {"+", "src", "dst", "0x70000", "B0000"},
        {"+", "src", "dst", "7000G", "B0000"},
        {"+", "src", "dst", "", "B0000"},
        {"+", "src", "dst", "-1", "B0000"},
        {"+", "src", "dst", "B0000", "70000"},
        {"+", "src", "dst", "70000", "70000"},
        {"+", "src", "dst", "100000000", "100000001"},
        {"+", "src", "dst", "0", "1000001"},
        {"+", "src", "dst", "70000", "B0000", "extra"},
    };
    for (const auto& args : bad) {
        const ChildResult run = runHeader(dir, args);
        EXPECT_EQ(run.exitStatus, 0) << args.size();
        EXPECT_EQ(run.err.rfind("usage: header + SRC DST STARTHEX ENDHEX", 0), 0u) << run.err;
        EXPECT_EQ(entriesIn(dir.path()), 1u);
    }
    // The largest accepted range.
    EXPECT_EQ(runHeader(dir, {"+", "src", "dst", "0", "1000000"}).exitStatus, 1);
}

TEST(HeaderTool, AMissingSourceOrAnUnwritableTargetFailsAndKeepsTheTarget)
{
    ScratchDir dir;
    const std::vector<std::uint8_t> old{7, 7, 7};
    writeBytes(dir.file("dst.bin"), old);
    for (const auto& args : {std::vector<std::string>{"+", "missing", "dst.bin", "70000", "B0000"},
                             std::vector<std::string>{"c", "missing", "dst.bin"}}) {
        const ChildResult run = runHeader(dir, args);
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_EQ(run.err, "header: cannot open missing\n");
        EXPECT_EQ(readBytes(dir.file("dst.bin")), old);
    }

    writeBytes(dir.file("src"), patternBytes(0x40000, 4));
    std::filesystem::create_directory(dir.file("dir.bin"));
    EXPECT_EQ(runHeader(dir, {"c", "src", "dir.bin"}).exitStatus, 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("dir.bin")));

    // A write that stops part-way leaves the old target and no stray file.
    if (!fileSizeLimitSupported())
        GTEST_SKIP() << "no file size limit for a child on this platform";
    const ChildResult run = runHeader(dir, {"+", "src", "dst.bin", "70000", "B0000"}, ChildLimits{65536});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err, "header: cannot write dst.bin\n");
    EXPECT_EQ(readBytes(dir.file("dst.bin")), old);
    EXPECT_EQ(entriesIn(dir.path()), 3u);
}

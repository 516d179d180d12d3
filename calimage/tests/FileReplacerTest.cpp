// Whole-file replacement: the target changes only after a complete write.
#include <gtest/gtest.h>

#include "testkit/Files.h"
#include "testkit/ScratchDir.h"
#include "calimage/FileReplacer.h"

using namespace testkit;

TEST(FileReplacer, ReplacesTheTargetWholeAndLeavesNoTemporaryFile)
{
    ScratchDir dir;
    const auto target = dir.file("out.bin");
    writeBytes(target, std::vector<std::uint8_t>(5000, 0xAA));
    const std::vector<std::uint8_t> data{1, 2, 3};
    ASSERT_TRUE(replaceFile(target.string(), data));
    EXPECT_EQ(readBytes(target), data);
    EXPECT_EQ(entriesIn(dir.path()), 1u);

    ASSERT_TRUE(replaceFile(dir.file("new.bin").string(), data));
    EXPECT_EQ(readBytes(dir.file("new.bin")), data);
}

TEST(FileReplacer, ADirectoryInTheWayCannotBeReplaced)
{
    ScratchDir dir;
    std::filesystem::create_directory(dir.file("out.bin"));
    FileReplacer file(dir.file("out.bin").string());
    EXPECT_FALSE(file.create());
    EXPECT_FALSE(file.commit());
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("out.bin")));
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(FileReplacer, AbandonedReplacementLeavesTheOldFile)
{
    ScratchDir dir;
    const auto target = dir.file("out.bin");
    const std::vector<std::uint8_t> old{9, 9};
    writeBytes(target, old);
    {
        FileReplacer file(target.string());
        ASSERT_TRUE(file.create());
        ASSERT_TRUE(file.write(std::vector<std::uint8_t>{1}));
    }
    EXPECT_EQ(readBytes(target), old);
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

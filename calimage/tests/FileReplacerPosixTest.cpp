// Whole-file replacement on POSIX: permissions kept, and a write cut short
// by a file size limit.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "testkit/ChildRun.h"
#include "testkit/Files.h"
#include "testkit/ScratchDir.h"
#include "calimage/FileReplacer.h"

using namespace testkit;

TEST(FileReplacerPosix, TheReplacementKeepsThePermissionsOfTheTarget)
{
    ScratchDir dir;
    const auto target = dir.file("out.bin");
    writeBytes(target, std::vector<std::uint8_t>(5000, 0xAA));
    ::chmod(target.c_str(), 0640);
    ASSERT_TRUE(replaceFile(target.string(), std::vector<std::uint8_t>{1, 2, 3}));
    struct stat st {};
    ::stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(FileReplacerPosix, AShortWriteFailsAndLeavesTheOldFile)
{
    ScratchDir dir;
    const auto target = dir.file("out.bin");
    const std::vector<std::uint8_t> old(100, 0x55);
    writeBytes(target, old);
    // With the file size limit at 4096 bytes the write stops part-way with
    // EFBIG, as it would on a full disk.
    const int status = runInChild(
        [&] {
            FileReplacer file(target.string());
            if (!file.create()) {
                return 10;
            }
            const bool wrote = file.write(std::vector<std::uint8_t>(65536, 1));
            const bool committed = file.commit();
            return (wrote ? 1 : 0) + (committed ? 2 : 0);
        },
        ChildLimits{4096});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readBytes(target), old);
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

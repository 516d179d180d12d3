// The POSIX file engine: what only a POSIX file system has.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "transfer/tests/FileEngineFixture.h"

namespace {

TEST_F(FileEngineTest, FileSearchPassesOverSpecialFiles)
{
    makeFile("a.bin");
    makeFile("c.bin");
    ASSERT_EQ(::mkfifo((dir / "d.bin").c_str(), 0600), 0);
    EXPECT_EQ(walk(dir / "*.bin"), (Paths{"a.bin", "c.bin"}));
}

} // namespace

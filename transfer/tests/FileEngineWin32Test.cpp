// The Win32 file engine on Windows paths: backslashes, drive-relative
// names, wildcards matched without regard to case, and the size of each
// file found.
#include <gtest/gtest.h>

#include <set>

#include "transfer/tests/FileEngineFixture.h"

namespace {

// "dir\name" with the Windows separator, whatever the scratch path uses.
std::string backslashed(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

TEST_F(FileEngineTest, BackslashPathsKeepTheirDirectoryPartThroughAWildcard)
{
    makeFile("sub/x.bin", 10);
    makeFile("sub/yy.bin", 2000);
    makeFile("sub/note.txt");
    EXPECT_EQ(walk(backslashed(dir / "sub\\*.bin")), (Paths{"sub\\x.bin", "sub\\yy.bin"}));
    // A list mixing both separators names each file the way it was written.
    EXPECT_EQ(walk(backslashed(dir / "sub\\x.bin") + " " + dir.prefix() + "sub/yy.bin"),
              (Paths{"sub\\x.bin", "sub/yy.bin"}));
}

TEST_F(FileEngineTest, EachFileFoundThroughAWildcardHasItsOwnSize)
{
    makeFile("a1.bin", 10);
    makeFile("a2.bin", 3000);
    engine->start(backslashed(dir / "a?.bin").c_str(), 0);
    for (int expected : {10, 3000}) {
        ASSERT_EQ(engine->nextFile(), 1);
        EXPECT_EQ(engine->size(), expected) << engine->nameBuffer();
        ASSERT_EQ(engine->open(engine->nameBuffer(), "rb"), 0);
        EXPECT_EQ(engine->size(), expected);
        engine->close();
    }
    EXPECT_EQ(engine->nextFile(), 0);
}

TEST_F(FileEngineTest, WildcardsMatchWithoutRegardToCaseAndKeepTheNamesAsFound)
{
    makeFile("Kernel.BIN");
    makeFile("app.bin");
    const Paths found = walk(dir / "*.bin");
    EXPECT_EQ(std::set<std::string>(found.begin(), found.end()),
              (std::set<std::string>{"Kernel.BIN", "app.bin"}));
}

TEST_F(FileEngineTest, RecursionJoinsSubdirectoriesWithABackslash)
{
    makeFile("top/x.bin");
    makeFile("top/s1/y.bin");
    EXPECT_EQ(walk(backslashed(dir / "top\\*.bin"), 1), (Paths{"top\\x.bin", "top\\s1\\y.bin"}));
}

TEST_F(FileEngineTest, ADriveRelativeNameKeepsItsDrive)
{
    makeFile("a.bin", 5);
    const std::string drive = dir.prefix().substr(0, 2);
    ASSERT_EQ(drive[1], ':');
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const Paths found = walk(drive + "*.bin");
    std::filesystem::current_path(before);
    EXPECT_EQ(found, Paths{drive + "a.bin"});
}

} // namespace

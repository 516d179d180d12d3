// The platform's file engine: open modes, sizes, and the walk over name
// lists with directory parts, wildcards and recursion.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testkit/Files.h"
#include "testkit/XmodemPeers.h"
#include "transfer/tests/FileEngineFixture.h"

using namespace testkit;

namespace {

// ---- open, close, read, write, seek ---------------------------------------

TEST_F(FileEngineTest, OpenForWritingEmptiesAnExistingFile)
{
    makeFile("a.bin", 500);
    ASSERT_EQ(engine->open((dir / "a.bin").c_str(), "wb"), 0);
    EXPECT_EQ(engine->size(), 0);
    const std::uint8_t data[] = {1, 2, 3};
    EXPECT_EQ(engine->write(data, 3), 3u);
    EXPECT_EQ(engine->close(), 0);
    EXPECT_EQ(readBytes(dir / "a.bin"), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(FileEngineTest, OpenTwiceAndCloseTwiceAreRefused)
{
    makeFile("a.bin");
    ASSERT_EQ(engine->open((dir / "a.bin").c_str(), "rb"), 0);
    EXPECT_EQ(engine->open((dir / "a.bin").c_str(), "rb"), FILE_ENGINE_BUSY);
    EXPECT_EQ(engine->close(), 0);
    EXPECT_EQ(engine->close(), FILE_ENGINE_NOT_OPEN);
    EXPECT_EQ(engine->seek(0, FILE_SEEK_BEGIN), FILE_ENGINE_NOT_OPEN);
    EXPECT_EQ(engine->tell(), FILE_ENGINE_NOT_OPEN);
}

TEST_F(FileEngineTest, OpeningAMissingFileForReadingFailsAndCreatesNothing)
{
    EXPECT_EQ(engine->open((dir / "missing.bin").c_str(), "rb"), FILE_ENGINE_OPEN_FAILED);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.bin"));
    EXPECT_EQ(engine->open((dir / "no/such/dir.bin").c_str(), "wb"), FILE_ENGINE_OPEN_FAILED);
}

TEST_F(FileEngineTest, AppendModesWriteAfterTheExistingData)
{
    for (const char* mode : {"ab", "a", "a+b"}) {
        ASSERT_TRUE(writeBytes(dir / "log.bin", {9, 9}));
        ASSERT_EQ(engine->open((dir / "log.bin").c_str(), mode), 0) << mode;
        const std::uint8_t more[] = {7};
        EXPECT_EQ(engine->write(more, 1), 1u);
        engine->close();
        EXPECT_EQ(readBytes(dir / "log.bin"), (std::vector<std::uint8_t>{9, 9, 7})) << mode;
    }
}

TEST_F(FileEngineTest, ReadReturnsShortAtTheEndAndSeekTellMove)
{
    ASSERT_TRUE(writeBytes(dir / "a.bin", patternBytes(300)));
    ASSERT_EQ(engine->open((dir / "a.bin").c_str(), "rb"), 0);
    std::uint8_t buf[256];
    EXPECT_EQ(engine->read(buf, 256), 256u);
    EXPECT_EQ(engine->tell(), 256);
    EXPECT_EQ(engine->read(buf, 256), 44u);
    EXPECT_EQ(engine->read(buf, 256), 0u);
    EXPECT_EQ(engine->seek(-10, FILE_SEEK_END), 0);
    EXPECT_EQ(engine->tell(), 290);
    EXPECT_EQ(engine->seek(-1, FILE_SEEK_BEGIN), FILE_ENGINE_SEEK_FAILED);
    engine->close();
}

// ---- size ------------------------------------------------------------------

TEST_F(FileEngineTest, SizeIsMeasuredForEachFileOpened)
{
    makeFile("small.bin", 10);
    makeFile("large.bin", 3000);
    engine->start((dir.prefix() + "small.bin " + dir.prefix() + "large.bin").c_str(), 0);
    ASSERT_EQ(engine->nextFile(), 1);
    ASSERT_EQ(engine->open(engine->nameBuffer(), "rb"), 0);
    EXPECT_EQ(engine->size(), 10);
    engine->close();
    ASSERT_EQ(engine->nextFile(), 1);
    ASSERT_EQ(engine->open(engine->nameBuffer(), "rb"), 0);
    EXPECT_EQ(engine->size(), 3000);
    engine->close();
}

TEST_F(FileEngineTest, SizeUsesThePathAsFoundInMixedCase)
{
    makeFile("Firmware.BIN", 777);
    engine->start((dir / "Firmware.BIN").c_str(), 0);
    ASSERT_EQ(engine->nextFile(), 1);
    EXPECT_EQ(engine->size(), 777);
    EXPECT_EQ(std::string(engine->nameBuffer()), dir / "Firmware.BIN");
    // Nothing of another spelling was created (a case-blind file system
    // would report "firmware.bin" as existing).
    EXPECT_EQ(std::filesystem::directory_iterator(dir.path())->path().filename(), "Firmware.BIN");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST_F(FileEngineTest, SizeOfAMissingFileIsZero)
{
    engine->start((dir / "missing.bin").c_str(), 0);
    EXPECT_EQ(engine->nextFile(), 0);
    EXPECT_EQ(engine->size(), 0);
}

// ---- the walk --------------------------------------------------------------

TEST_F(FileEngineTest, PlainNameIsFoundOnce)
{
    makeFile("fw.bin");
    EXPECT_EQ(walk(dir / "fw.bin"), Paths{"fw.bin"});
}

TEST_F(FileEngineTest, ListYieldsTheExistingFilesInListOrder)
{
    makeFile("c.bin");
    makeFile("a.bin");
    const std::string d = dir.prefix();
    EXPECT_EQ(walk(d + "c.bin, " + d + "b.bin;" + d + "a.bin"), (Paths{"c.bin", "a.bin"}));
    EXPECT_EQ(walk("\t" + d + "a.bin\n;;, " + d + "c.bin "), (Paths{"a.bin", "c.bin"}));
}

TEST_F(FileEngineTest, WildcardsKeepTheDirectoryPartAndSkipOtherNames)
{
    makeFile("sub/y.bin");
    makeFile("sub/x.bin");
    makeFile("sub/x.txt");
    makeFile("sub/xy.bin");
    EXPECT_EQ(walk(dir / "sub/*.bin"), (Paths{"sub/x.bin", "sub/xy.bin", "sub/y.bin"}));
    EXPECT_EQ(walk(dir / "sub/?.bin"), (Paths{"sub/x.bin", "sub/y.bin"}));
}

TEST_F(FileEngineTest, OnlyStarAndQuestionMarkAreWildcards)
{
    makeFile("fw[1].bin");
    makeFile("fw1.bin");
    EXPECT_EQ(walk(dir / "fw[1].bin"), Paths{"fw[1].bin"});
    EXPECT_EQ(walk(dir / "fw?1?.bin"), Paths{"fw[1].bin"});
}

TEST_F(FileEngineTest, FileSearchPassesOverDirectories)
{
    // A directory sorted between two matching files must not end the search.
    makeFile("a.bin");
    makeDir("b.bin");
    makeFile("c.bin");
    EXPECT_EQ(walk(dir / "*.bin"), (Paths{"a.bin", "c.bin"}));
}

TEST_F(FileEngineTest, RecursionVisitsSubdirectoriesAfterTheFilesOfEachLevel)
{
    makeFile("top/x.bin");
    makeFile("top/s1/y.bin");
    makeFile("top/s1/s2/z.bin");
    makeFile("top/s1/note.txt");
    makeFile("top/t/w.bin");
    EXPECT_EQ(walk(dir / "top/*.bin", 0), Paths{"top/x.bin"});
    // The engine joins subdirectories with its own separator.
    EXPECT_EQ(slashed(walk(dir / "top/*.bin", 1)),
              (Paths{"top/x.bin", "top/s1/y.bin", "top/s1/s2/z.bin", "top/t/w.bin"}));
}

TEST_F(FileEngineTest, RecursionStopsNineLevelsDown)
{
    std::string path = "r/";
    for (int level = 0; level <= 11; ++level) {
        makeFile(path + "f.bin");
        path += "d/";
    }
    EXPECT_EQ(walk(dir / "r/f.bin", 1).size(), 10u);
}

TEST_F(FileEngineTest, OverlongEntryIsCutAndItsTailIsNotAnotherEntry)
{
    const std::string name(255 - dir.prefix().size(), 'n');
    const std::string tail(40, 'n');
    makeFile(name);
    makeFile(tail);
    // Taken as an entry of its own, the tail would name the file "nnn..."
    // in the working directory.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.prefix());
    const Paths found = walk(dir.prefix() + name + tail);
    std::filesystem::current_path(before);
    EXPECT_EQ(found, Paths{name});
}

TEST_F(FileEngineTest, NullListWalksThePreviousListAgain)
{
    makeFile("a.bin");
    walk(dir / "a.bin");
    engine->start(nullptr, 0);
    ASSERT_EQ(engine->nextFile(), 1);
    EXPECT_EQ(std::string(engine->nameBuffer()), dir / "a.bin");
}

TEST_F(FileEngineTest, StartClosesAFileLeftOpen)
{
    makeFile("a.bin");
    ASSERT_EQ(engine->open((dir / "a.bin").c_str(), "rb"), 0);
    engine->start((dir / "a.bin").c_str(), 0);
    EXPECT_EQ(engine->close(), FILE_ENGINE_NOT_OPEN);
    EXPECT_EQ(engine->open((dir / "a.bin").c_str(), "rb"), 0);
}

} // namespace

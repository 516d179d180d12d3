// unitxfer's progress line, result texts and in-place redrawing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tools/unitxfer/ProgressStatus.h"
#include "tools/unitxfer/ResultText.h"

namespace {

class StepClock : public Clock {
public:
    std::uint32_t tickMs() override { return now; }
    std::uint32_t now = 1000;
};

std::string contents(std::FILE* f)
{
    std::fflush(f);
    std::rewind(f);
    std::string s;
    int c;
    while ((c = std::fgetc(f)) != EOF)
        s.push_back(static_cast<char>(c));
    return s;
}

} // namespace

TEST(Progress, LineShowsFileBlockBytesAndPercentWhenTheSizeIsKnown)
{
    EXPECT_EQ(formatProgress("fw.bin", 37, 4608, 10240), "fw.bin  block 37  4608 bytes  45%");
    EXPECT_EQ(formatProgress("in.bin", 3, 256, 0), "in.bin  block 3  256 bytes");
    // Padding counted by a receiver never shows more than 100 %.
    EXPECT_EQ(formatProgress("x", 2, 300, 200), "x  block 2  300 bytes  100%");
}

TEST(Progress, KnowsTheCodesOfEveryLayer)
{
    EXPECT_STREQ(resultMeaning(0), "success");
    EXPECT_STREQ(resultMeaning(-926), "no file to send");
    EXPECT_STREQ(resultMeaning(-902), "the file could not be opened");
    EXPECT_STREQ(resultMeaning(-828), "serial device fault or device gone");
    EXPECT_STREQ(resultMeaning(-951), "file engine: the file could not be opened or created");
    EXPECT_STREQ(resultMeaning(-12345), "unknown result");
}

TEST(Progress, RedrawsInPlaceAtMostEveryHundredMillisecondsAndEndsTheLine)
{
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    StepClock clock;
    {
        ProgressStatus s(f, clock, true, false);
        s.reset(DIRECTION_SEND);
        s.setFileName("long-name.bin");
        s.fileSize = 1000;
        s.blockNumber = 2;
        s.bytesDone = 128;
        s.notify(0);
        s.blockNumber = 3;
        s.notify(0);  // too soon: not drawn
        clock.now += 100;
        s.setFileName("a");
        s.notify(0);
    }
    std::string out = contents(f);
    EXPECT_EQ(out.find("long-name.bin  block 3"), std::string::npos);
    std::string first = "\rlong-name.bin  block 2  128 bytes  12%";
    std::string second = "\ra  block 3  128 bytes  12%";
    EXPECT_EQ(out.substr(0, first.size()), first);
    // The shorter line blanks out the rest of the longer one.
    EXPECT_EQ(out.substr(first.size(), second.size() + 12), second + std::string(12, ' '));
    EXPECT_EQ(out.back(), '\n');
    std::fclose(f);
}

TEST(Progress, QuietWithoutATerminalButShowsMessagesWhenVerbose)
{
    std::FILE* f = std::tmpfile();
    StepClock clock;
    ProgressStatus quiet(f, clock, false, false);
    quiet.notify(0);
    quiet.message("Sending block 1");
    ProgressStatus verbose(f, clock, false, true);
    verbose.message("Sending block 1");
    EXPECT_EQ(verbose.abortQuery(), 0);
    xferInterruptRequested = true;
    EXPECT_EQ(verbose.abortQuery(), kXferInterrupted);
    xferInterruptRequested = false;
    EXPECT_EQ(contents(f), "Sending block 1\n");
    std::fclose(f);
}

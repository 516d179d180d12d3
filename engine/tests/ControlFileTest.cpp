// The console's version reading and the control file's parser, at the
// edges where a wrong index or a missing end would go unnoticed.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "testkit/ScratchDir.h"
#include "testkit/Files.h"
#include "engine/ControlFile.h"
#include "engine/ResumeLog.h"
#include "engine/UpgradeState.h"
#include "engine/VersionText.h"

using namespace testkit;

namespace {

double versionOf(const std::string& reply, double before = -1)
{
    parseVersion(reply, before);
    return before;
}

TEST(ParseVersion, TakesSixCharactersAfterTheParenthesisOrAfterK)
{
    EXPECT_DOUBLE_EQ(versionOf("Display (K 1.312) ne>>"), 1.312);
    EXPECT_DOUBLE_EQ(versionOf("Display (1.221) ne>>"), 1.221);
    // "(K" anywhere moves the start to three characters after the first "(".
    EXPECT_DOUBLE_EQ(versionOf("a (x 1.234 b (K"), 1.234);
    EXPECT_DOUBLE_EQ(versionOf("(1.2)zz"), 1.2);
    EXPECT_DOUBLE_EQ(versionOf("(abc)"), 0.0);
    EXPECT_DOUBLE_EQ(versionOf("no parenthesis", 7.5), 7.5);
    // Cut short by the end of the reply: what is there is read.
    EXPECT_DOUBLE_EQ(versionOf("(K 2."), 2.0);
    EXPECT_DOUBLE_EQ(versionOf("(K"), 0.0);
    EXPECT_DOUBLE_EQ(versionOf("(  1.5)"), 1.5);
    // Garbled replies that read as no finite number give 0, never NaN or
    // infinity (found by fuzz_console_reply).
    EXPECT_DOUBLE_EQ(versionOf("NANA(NANA"), 0.0);
    EXPECT_DOUBLE_EQ(versionOf("(K inf>>"), 0.0);
    EXPECT_DOUBLE_EQ(versionOf("(9e999)"), 0.0);
}

TEST(ControlVersion, OffsetDependsOnTheUnitsGeneration)
{
    const std::string text = "x Rev1.312    2.122\r\n";
    double v = 0;
    ASSERT_TRUE(readControlVersion(text, 1.999, v));
    EXPECT_DOUBLE_EQ(v, 1.312);
    ASSERT_TRUE(readControlVersion(text, 2.0, v));
    EXPECT_DOUBLE_EQ(v, 2.122);
    EXPECT_FALSE(readControlVersion("no version here", 1.0, v));
    ASSERT_TRUE(readControlVersion("Rev", 3.0, v));
    EXPECT_DOUBLE_EQ(v, 0.0);
    ASSERT_TRUE(readControlVersion("Rev-nan", 1.0, v));
    EXPECT_DOUBLE_EQ(v, 0.0);
}

TEST(FindSection, FindsNamesInsideLongerWordsButNotAtTheStart)
{
    EXPECT_EQ(findSection("CAL7355NE {a}/ 7355NE {b}/", "7355NE"), 3);
    EXPECT_EQ(findSection("7355NE {a}/", "7355NE"), 0);
    EXPECT_EQ(findSection("abc", "7355NE"), -1);
    EXPECT_EQ(mainSectionName(sectionKey(7355, UNIT_DISPLAY), MODE_UPDATE_ONLY), "REL7355NE");
    EXPECT_EQ(calibrationSectionName(mainSectionName(sectionKey(7410, UNIT_REMOTE), MODE_DOWNGRADE)),
              "CALDWN7410FE");
    EXPECT_EQ(mainSectionName(sectionKey(7355, UNIT_UNKNOWN), MODE_REINSTALL), "7355FE");
}

struct Parsed {
    int count;
    int error;
    StepListView list;
};

Parsed parse(const std::string& text, int start = 0)
{
    StepList list;
    int error = 0;
    const int n = parseSection(text, start, list, error);
    return {n, error, list.snapshot()};
}

TEST(ParseSection, EntriesKeepTheirBlanksAndSkipWhatLiesBetween)
{
    const Parsed p = parse("X junk\r\n  {app 1.bin}\r\n {REBOOT} ; {NOTHING}\r\n/ {after}/");
    EXPECT_EQ(p.count, 3);
    EXPECT_EQ(p.error, 0);
    EXPECT_EQ(p.list.slots[0].name, "app 1.bin");
    EXPECT_EQ(p.list.slots[2].name, "NOTHING");
    EXPECT_EQ(p.list.count(), 3);
}

TEST(ParseSection, SlashesOutOfPlaceRaiseTheErrorButParsingGoesOn)
{
    Parsed p = parse("X / {a/b}{c}/");
    EXPECT_EQ(p.count, 2);
    EXPECT_EQ(p.error, 1);
    EXPECT_EQ(p.list.slots[0].name, "a/b");
}

TEST(ParseSection, EndsAtTheEndOfTheText)
{
    for (const char* text : {"X {a}{b}", "X no entries at all", "X {a}{unclosed", "X {a} tail"}) {
        const Parsed p = parse(text);
        EXPECT_EQ(p.error, 1) << text;
        EXPECT_LE(p.count, 2) << text;
    }
    EXPECT_EQ(parse("X {a}{unclosed").count, 1);
}

TEST(ParseSection, KeepsAtMostNineEntries)
{
    std::string text = "X";
    for (int i = 0; i < 12; ++i)
        text += "{e" + std::to_string(i) + "}";
    const Parsed p = parse(text + "/");
    EXPECT_EQ(p.count, 9);
    EXPECT_EQ(p.error, 1);
    EXPECT_EQ(p.list.slots[8].name, "e8");
    EXPECT_EQ(p.list.slots[9].present, 0);
    EXPECT_EQ(parse(text.substr(0, 1 + 9 * 4) + "/").error, 0);
}

TEST(ResumeLog, LayoutIsSerialVersionAndEightByteRecords)
{
    ScratchDir dir;
    ResumeLog log(dir / "logfile.LOG");
    ASSERT_TRUE(log.writeHeader("A01234567", 1.221));
    ASSERT_TRUE(log.append("KERNEL"));
    std::ifstream in(dir / "logfile.LOG", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "A01234567\r\n1.221\r\nKERNEL\r\n");

    ResumeLog again(dir / "logfile.LOG");
    ASSERT_TRUE(again.load());
    EXPECT_TRUE(again.sameUnit("A01234567"));
    EXPECT_FALSE(again.sameUnit("A01234568"));
    EXPECT_DOUBLE_EQ(again.recordedVersion(), 1.221);
    EXPECT_EQ(again.record(0), "KERNEL");
    EXPECT_EQ(again.record(1), "");
    EXPECT_EQ(ResumeLog::versionField(12.5), "12.50");

    ResumeLog blocked(dir / "no-such-dir/logfile.LOG");
    EXPECT_FALSE(blocked.writeHeader("A01234567", 1.0));
}

}  // namespace

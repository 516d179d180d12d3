// The generated firmware set read back as the upgrade reads it: version
// field, sections found by name, entries, and the files they name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "sim/unit/FactoryImages.h"
#include "testkit/ChildRun.h"
#include "testkit/Files.h"
#include "testkit/RecordFill.h"
#include "testkit/ScratchDir.h"

using namespace testkit;

namespace fs = std::filesystem;

namespace {

// --- a small reader of "control.upd", as the upgrade engine reads it ---

// First occurrence of name anywhere; a section counts only past index 0.
long findSection(const std::string& text, const std::string& name)
{
    std::size_t at = text.find(name);
    return at == std::string::npos || at == 0 ? -1 : static_cast<long>(at);
}

// The entries from start on: skip to "{", then braced entries until "/".
// slashes counts the "/" met before the first entry or inside an entry.
std::vector<std::string> parseSection(const std::string& text, std::size_t start, int& slashes)
{
    std::vector<std::string> entries;
    std::size_t i = start;
    while (i < text.size() && text[i] != '{')
        slashes += text[i++] == '/';
    while (i < text.size() && text[i] == '{') {
        std::size_t close = text.find('}', i);
        if (close == std::string::npos)
            break;
        std::string entry = text.substr(i + 1, close - i - 1);
        slashes += static_cast<int>(std::count(entry.begin(), entry.end(), '/'));
        entries.push_back(entry);
        i = close + 1;
        while (i < text.size() && text[i] != '{' && text[i] != '/')
            ++i;
    }
    return entries;
}

double versionAt(const std::string& text, std::size_t at)
{
    return std::atof(text.substr(at, 6).c_str());
}

bool isKeyword(const std::string& e)
{
    for (const char* k : {"REBOOT", "NOTHING", "GETCAL", "CONVERTCAL", "PUTCAL", "CUSTOMCAB"})
        if (e == k)
            return true;
    return false;
}

class FirmwareSet : public ::testing::Test {
protected:
    // Runs fwset on the set folder with the space-separated options.
    int run(const std::string& options)
    {
        std::vector<std::string> argv = {FWSET_PATH, dir.string()};
        std::istringstream words(options);
        for (std::string w; words >> w;)
            argv.push_back(w);
        return runProgram(FWSET_PATH, argv, scratch.path()).exitStatus;
    }

    std::string control()
    {
        std::ifstream in(dir / "control.upd", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    ScratchDir scratch{"fwset"};
    fs::path dir = scratch.path() / "set";
};

TEST_F(FirmwareSet, ControlFileSectionsEntriesAndFiles)
{
    ASSERT_EQ(run("--no-tools"), 0);
    const std::string text = control();
    ASSERT_LT(text.size(), 10000u) << "the upgrade reads only the first 10000 bytes";
    std::size_t rev = text.find("Rev");
    ASSERT_LT(rev, 5000u - 20);
    EXPECT_DOUBLE_EQ(versionAt(text, rev + 3), 1.312);
    EXPECT_DOUBLE_EQ(versionAt(text, rev + 12), 2.122);

    for (const char* key : {"7355NE", "7355FE", "7410NE", "7410FE"}) {
        const std::string k = key;
        const std::string current = k.starts_with("7410") ? "2122" : "1312";
        const std::string previous = k.starts_with("7410") ? "2013" : "1221";
        for (const std::string& main : {k, "REL" + k, "DWN" + k}) {
            const std::string version = main.starts_with("DWN") ? previous : current;
            for (const std::string& name : {main, "CAL" + main}) {
                long at = findSection(text, name);
                ASSERT_GT(at, 0) << name;
                // The first occurrence is the section itself, not a longer name.
                EXPECT_TRUE(at == 0 || text[static_cast<std::size_t>(at) - 1] == '\n') << name;
                int slashes = 0;
                auto entries = parseSection(text, static_cast<std::size_t>(at), slashes);
                EXPECT_EQ(slashes, 0) << name;
                ASSERT_LE(entries.size(), 9u) << name;
                ASSERT_FALSE(entries.empty()) << name;
                EXPECT_NE(entries[0].find("KERNEL"), std::string::npos) << name;
                EXPECT_NE(entries[0].find(version), std::string::npos) << name;
                if (name.starts_with("CAL")) {
                    EXPECT_EQ(entries, (std::vector<std::string>{entries[0], "REBOOT", "GETCAL",
                                                                 "CONVERTCAL", "PUTCAL", "CUSTOMCAB"}));
                } else {
                    EXPECT_EQ(entries.size(), 3u);
                    EXPECT_EQ(entries[1], "REBOOT");
                }
                for (const std::string& e : entries) {
                    if (isKeyword(e))
                        continue;
                    ASSERT_TRUE(fs::is_regular_file(dir / e)) << name << " names missing " << e;
                    auto image = readBytes(dir / e);
                    std::string body(image.begin(), image.end());
                    EXPECT_EQ(body.substr(0, 8), "ESTFBINR") << e;
                    std::string tag = "FWVER=" + version.substr(0, 1) + "." + version.substr(1);
                    EXPECT_NE(body.find(tag), std::string::npos) << e;
                    EXPECT_EQ(be32(image, 12) - be32(image, 8), image.size() - 32) << e;
                }
            }
        }
    }
}

TEST_F(FirmwareSet, ClearingImagesFollowTheConvertedTablesOfTheirKind)
{
    ASSERT_EQ(run("--no-tools"), 0);
    for (auto [name, base] : {std::pair{"calclear_ne.bin", 0x90000u}, {"calclearb_ne.bin", 0x90000u},
                              {"calclear_fe.bin", 0x60000u}, {"calclearb_fe.bin", 0x60000u}}) {
        auto image = readBytes(dir / name);
        ASSERT_GT(image.size(), 32u) << name;
        EXPECT_EQ(std::string(image.begin(), image.begin() + 8), "ESTFBINR");
        EXPECT_EQ(be32(image, 8), base + 13156) << name;
        EXPECT_EQ(be32(image, 24), be32(image, 8));
        EXPECT_EQ(be32(image, 12) - be32(image, 8), image.size() - 32);
        EXPECT_TRUE(std::all_of(image.begin() + 32, image.end(), [](std::uint8_t b) { return b == 0xFF; }));
    }
}

TEST_F(FirmwareSet, VersionsAreOptionsAndBadOnesAreRefused)
{
    ASSERT_EQ(run("--no-tools --version 1.400 --version-7410 2.200 --previous 1.312"), 0);
    const std::string text = control();
    std::size_t rev = text.find("Rev");
    EXPECT_DOUBLE_EQ(versionAt(text, rev + 3), 1.4);
    EXPECT_DOUBLE_EQ(versionAt(text, rev + 12), 2.2);
    EXPECT_TRUE(fs::exists(dir / "KERNEL_7355ne_1400.bin"));
    EXPECT_TRUE(fs::exists(dir / "app_7355fe_1312.bin"));
    fs::remove_all(dir);
    EXPECT_NE(run("--no-tools --version 1.4"), 0);
    EXPECT_NE(run("--no-tools --version-7410 x.122"), 0);
}

TEST_F(FirmwareSet, OptionsForLongMainListsNoCalibrationAndBlanksInTheRevLine)
{
    ASSERT_EQ(run("--no-tools --extra-files 5 --no-calibration --rev-blanks 1"), 0);
    std::string text = control();
    ASSERT_LT(text.size(), 10000u);
    EXPECT_EQ(text.find("CAL"), std::string::npos);
    std::size_t rev = text.find("Rev");
    EXPECT_EQ(text[rev + 3], ' ');
    EXPECT_DOUBLE_EQ(versionAt(text, rev + 3), 1.312);
    EXPECT_DOUBLE_EQ(versionAt(text, rev + 12), 2.122);
    int slashes = 0;
    auto entries = parseSection(text, static_cast<std::size_t>(findSection(text, "REL7355NE")), slashes);
    ASSERT_EQ(entries.size(), 9u);
    EXPECT_EQ(entries[1], "REBOOT");
    EXPECT_EQ(entries[2], "NOTHING");
    std::uintmax_t total = 0;
    for (const std::string& e : entries)
        if (!isKeyword(e)) {
            ASSERT_TRUE(fs::is_regular_file(dir / e)) << e;
            total += fs::file_size(dir / e);
        }
    // Small enough for a whole upgrade at 38400 baud in a few minutes.
    EXPECT_LT(total, 96u * 1024);

    fs::remove_all(dir);
    ASSERT_EQ(run("--no-tools --rev-blanks 2"), 0);
    text = control();
    rev = text.find("Rev");
    // Six characters hold two blanks and only four of the version.
    EXPECT_DOUBLE_EQ(versionAt(text, rev + 3), 1.31);
    EXPECT_DOUBLE_EQ(versionAt(text, rev + 12), 2.12);
    EXPECT_NE(run("--no-tools --extra-files 6"), 0);
}

TEST_F(FirmwareSet, SerialWritesTheBackupImagesOfThatUnit)
{
    struct Case {
        const char* options;
        int model;
        std::uint32_t start, end, cables;
    };
    for (const Case& c : {Case{"", 7355, 0x70000, 0xB0000, 0xB6220},
                          Case{"--kind fe --model 7410", 7410, 0x50000, 0x70000, 0xB79A4}}) {
        fs::remove_all(dir);
        ASSERT_EQ(run(std::string("--no-tools --serial K00000042 ") + c.options), 0);
        auto backup = readBytes(dir / "K00000042.bin");
        ASSERT_EQ(backup.size(), 32 + c.end - c.start) << c.options;
        EXPECT_EQ(be32(backup, 8), c.start);
        EXPECT_EQ(be32(backup, 12), c.end);
        const auto factory = makeFactoryCalibration("K00000042", c.model);
        EXPECT_TRUE(std::equal(factory.begin(), factory.end(), backup.begin() + 32)) << c.options;
        EXPECT_EQ(backup.back(), 0xFF);
        auto second = readBytes(dir / "K00000042c.bin");
        ASSERT_EQ(second.size(), 32u + 2400);
        EXPECT_EQ(be32(second, 8), c.cables) << c.options;
        const auto cables = makeCableDatabase("K00000042");
        EXPECT_TRUE(std::equal(cables.begin(), cables.end(), second.begin() + 32));
    }
    EXPECT_NE(run("--no-tools --serial k42"), 0);
}

TEST_F(FirmwareSet, CopiesTheBuildsTools)
{
    ASSERT_EQ(run(""), 0);
    // The programs this build makes, as fwset was told at build time.
    const std::string tools = FWSET_TOOLS;
    for (std::size_t at = 0; at < tools.size();) {
        std::size_t end = std::min(tools.find('|', at), tools.size());
        fs::path copy = dir / fs::path(tools.substr(at, end - at)).filename();
        ASSERT_TRUE(fs::is_regular_file(copy)) << copy;
        EXPECT_NE(fs::status(copy).permissions() & fs::perms::owner_exec, fs::perms::none) << copy;
        EXPECT_EQ(fs::file_size(copy), fs::file_size(tools.substr(at, end - at)));
        at = end + 1;
    }
    // The upgrade starts them as ./header, ./Kcnv and ./Lcnv.
    for (const char* name : {"header", "Kcnv", "Lcnv"}) {
        if (tools.find(name) != std::string::npos) {
            EXPECT_TRUE(fs::is_regular_file(dir / name)) << name;
        }
    }
    auto clip = readBytes(dir / "SEARCH.AVI");
    ASSERT_GE(clip.size(), 12u);
    EXPECT_EQ(std::string(clip.begin(), clip.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(clip.begin() + 8, clip.begin() + 12), "AVI ");
    EXPECT_NE(run("--tool /nonexistent/tool"), 0);
}

}  // namespace

// The check of a firmware set without a unit: which lists it holds and what
// each lacks, for the most a unit's upgrade can need.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/CalibrationSteps.h"
#include "engine/SetCheck.h"
#include "engine/UpgradeSession.h"
#include "testkit/ScratchDir.h"

namespace {

const std::string kCal = "{k.bin}{REBOOT}{GETCAL}{CONVERTCAL}{PUTCAL}{CUSTOMCAB}/\r\n";
const std::string kMain = "{k.bin}{REBOOT}{app.bin}/\r\n";
// Units below 2.0 read the version 3 characters after "Rev", the 7410's 12.
const std::string kRev = "Rev1.312    2.122\r\n";

struct Case {
    const char* what;
    std::string control;
    std::vector<std::string> files;  // Kcnv, Lcnv and header are made executable
    bool complete;
    std::vector<std::string> sections;  // "name", "name missing a b", "name bad list"
};

std::string summary(const SectionCheck& s)
{
    std::string text = s.section;
    if (s.problem == Refusal::BadSection)
        text += " bad " + s.badList;
    if (!s.missing.empty())
        text += " missing";
    for (const std::string& name : s.missing)
        text += " " + name;
    return text;
}

TEST(SetCheck, EachListIsCheckedForTheMostItsUpgradeCanNeed)
{
    const std::string kcnv = toolFileName("Kcnv");
    const std::string lcnv = toolFileName("Lcnv");
    const std::string header = toolFileName("header");
    const std::string clear = clearingImageName(7355, UNIT_DISPLAY);
    const std::string clear7410 = clearingImageName(7410, UNIT_REMOTE);
    const std::vector<Case> cases = {
        {"a carry-over set with everything", kRev + "7355NE" + kMain + "CAL7355NE" + kCal,
         {"k.bin", "app.bin", clear, "Kcnv", "Lcnv", "header"}, true, {"7355NE"}},
        {"a set across the layout change needs the converters",
         kRev + "7355NE" + kMain + "CAL7355NE" + kCal, {"k.bin", clear, "Lcnv", "header"}, false,
         {"7355NE missing " + kcnv + " app.bin"}},
        {"below the layout change no program runs", "Rev1.221\r\n7355NE" + kMain + "CAL7355NE" + kCal,
         {"k.bin", "app.bin"}, true, {"7355NE"}},
        {"the 7410 reads the second version and runs no Kcnv", kRev + "7410FE" + kMain + "CAL7410FE" + kCal,
         {"k.bin", "app.bin", clear7410, "header"}, false, {"7410FE missing " + lcnv}},
        // The reinstall's key is found inside "REL7355NE" and reads that
        // list, as the upgrade does; an update converts no tables, but a
        // Display Handset's cable database still needs header.
        {"an update carries no tables over", kRev + "REL7355NE" + kMain + "CALREL7355NE" + kCal,
         {"k.bin", "app.bin"}, false, {"7355NE", "REL7355NE missing " + header}},
        {"a tenth entry", kRev + "7355FE{a}{a}{a}{a}{a}{a}{a}{a}{a}{a}/\r\n", {"a"}, false,
         {"7355FE bad 7355FE"}},
        {"no version", "Firmware set\r\n7355NE" + kMain, {"k.bin", "app.bin"}, false, {"7355NE"}},
        {"no list at all", kRev, {}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testkit::ScratchDir dir("set-check");
        std::ofstream(dir / "control.upd", std::ios::binary) << c.control;
        for (const std::string& name : c.files) {
            const bool program = name == "Kcnv" || name == "Lcnv" || name == "header";
            const std::string file = dir / (program ? toolFileName(name) : name);
            std::ofstream(file, std::ios::binary) << "x";
            if (program)
                std::filesystem::permissions(file, std::filesystem::perms::owner_all);
        }
        EngineEnv env;
        env.workDir = dir.path().string();
        const SetCheck set = checkFirmwareSet(env);
        EXPECT_TRUE(set.readable);
        EXPECT_EQ(set.complete(), c.complete);
        std::vector<std::string> sections;
        for (const SectionCheck& s : set.sections)
            sections.push_back(summary(s));
        EXPECT_EQ(sections, c.sections);
    }
}

}  // namespace

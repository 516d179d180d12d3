// The lock on a folder's working files: one holder at a time, in a folder
// whose name has blanks and non-ASCII characters.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/WorkFilesLock.h"
#include "testkit/ScratchDir.h"

namespace {

std::string utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

TEST(WorkFilesLockTest, OneHolderAtATimeAndAMissingFolderFailsWithAText)
{
    testkit::ScratchDir scratch("worklock");
    const std::filesystem::path dir = scratch.path() / std::filesystem::path(u8"set f\u00fcr K\u00f6ln");
    ASSERT_TRUE(std::filesystem::create_directory(dir));
    const std::string folder = utf8(dir);

    WorkFilesLock first;
    ASSERT_EQ(first.acquire(folder), WorkFilesLock::Result::Locked) << first.errorText();
    EXPECT_TRUE(first.held());
    EXPECT_TRUE(std::filesystem::exists(dir / WorkFilesLock::kFileName));
    {
        WorkFilesLock second;
        EXPECT_EQ(second.acquire(folder), WorkFilesLock::Result::InUse);
        EXPECT_FALSE(second.held());
    }
    first.release();
    EXPECT_FALSE(first.held());
    EXPECT_TRUE(std::filesystem::exists(dir / WorkFilesLock::kFileName));
    WorkFilesLock third;
    EXPECT_EQ(third.acquire(folder), WorkFilesLock::Result::Locked) << third.errorText();

    WorkFilesLock nowhere;
    EXPECT_EQ(nowhere.acquire(utf8(dir / "missing")), WorkFilesLock::Result::Failed);
    EXPECT_FALSE(nowhere.held());
    EXPECT_NE(nowhere.errorText().find("missing"), std::string::npos) << nowhere.errorText();
}

} // namespace

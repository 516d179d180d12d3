// ChildProcess against a probe program: the arguments and directory the child
// sees, exit statuses, time limits and programs that cannot start.
#include "process/ChildProcess.h"

#include <chrono>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "testkit/Files.h"
#include "testkit/ScratchDir.h"

using namespace testkit;

namespace fs = std::filesystem;

namespace {

class ChildProcessTest : public ::testing::Test {
protected:
    std::string probeText() const { return readText(dir / "probe.txt"); }

    ScratchDir scratch{"process"};
    // The canonical path: the probe reports the directory it runs in that way.
    fs::path dir = fs::canonical(scratch.path());
};

} // namespace

TEST_F(ChildProcessTest, ChildSeesItsNameEveryArgumentAndItsWorkDir)
{
    ChildProcess child;
    ASSERT_TRUE(child.start(PROCESS_PROBE_PATH, {"seen-name", " ", "", "a \"b\" c\\", "--exit", "7"}, dir.string()));
    ASSERT_TRUE(child.wait(10000));
    EXPECT_FALSE(child.running());
    EXPECT_EQ(child.exitStatus(), 7);
    EXPECT_EQ(probeText(), dir.string() + "\n[seen-name]\n[ ]\n[]\n[a \"b\" c\\]\n[--exit]\n[7]\n");
}

TEST_F(ChildProcessTest, RelativeProgramIsFoundInTheWorkDir)
{
    const fs::path copy = dir / fs::path(PROCESS_PROBE_PATH).filename();
    fs::copy_file(PROCESS_PROBE_PATH, copy);
    EXPECT_EQ(runChildProgram("./" + copy.filename().string(), {"probe", "--exit", "3"}, dir.string()), 3);
    EXPECT_NE(probeText().find("[probe]"), std::string::npos);
}

TEST_F(ChildProcessTest, TimeLimitKillsASleeper)
{
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(runChildProgram(PROCESS_PROBE_PATH, {"probe", "--sleep", "30000"}, dir.string(), 200), -2);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));

    ChildProcess sleeper;
    ASSERT_TRUE(sleeper.start(PROCESS_PROBE_PATH, {"probe", "--sleep", "30000"}, dir.string()));
    EXPECT_FALSE(sleeper.wait(0));
    EXPECT_TRUE(sleeper.running());
    EXPECT_EQ(sleeper.exitStatus(), -1);
    sleeper.kill();
    EXPECT_FALSE(sleeper.running());
    EXPECT_EQ(sleeper.exitStatus(), 137);
}

TEST_F(ChildProcessTest, MissingProgramDoesNotStart)
{
    ChildProcess child;
    EXPECT_FALSE(child.start((dir / "no-such-program").string(), {"x"}));
    EXPECT_FALSE(child.running());
    EXPECT_FALSE(child.wait(0));
    EXPECT_EQ(runChildProgram((dir / "no-such-program").string(), {"x"}), -1);
}

TEST_F(ChildProcessTest, StreamsGoToFilesAndEnvironmentIsAdded)
{
    ChildProcess child;
    child.addEnvironment({"PROCESS_TEST_VALUE=added"});
    child.redirectToFile(ChildProcess::StdOut, (dir / "out.txt").string());
    child.redirectToNull(ChildProcess::StdIn);
    ASSERT_TRUE(child.start(PROCESS_PROBE_PATH, {"probe", "--env", "PROCESS_TEST_VALUE"}, dir.string()));
    ASSERT_TRUE(child.wait(10000));
    EXPECT_EQ(child.exitStatus(), 0);
    EXPECT_EQ(readText(dir / "out.txt"), "[added]");
}

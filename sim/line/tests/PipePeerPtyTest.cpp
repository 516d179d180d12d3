// A child program joined to an end of the virtual line through pipes.
#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

#include "sim/line/PipePeer.h"
#include "testkit/Pty.h"
#include "sim/line/VirtualLine.h"

using namespace testkit;

TEST(PipePeerPty, RelaysBothWaysAndEndsWhenTheLineGoes)
{
    VirtualLine line(LineOptions{});
    ASSERT_EQ(line.start(), 0);
    PipePeer cat(PipePeer::relayed({"cat"}, line.path(END_A), 57600));
    ASSERT_EQ(cat.start(), 0);
    int b = openRawDevice(line.path(END_B));
    std::vector<std::uint8_t> hello = {'h', 'e', 'l', 'l', 'o', 0, 0xFF, '\n'};
    ASSERT_TRUE(writeAllTo(b, hello));
    EXPECT_EQ(readUpTo(b, hello.size(), 3000), hello);
    // Closing B ends the line; cat then reads the end of its input.
    ::close(b);
    EXPECT_EQ(line.wait(), LineEndReason::EndClosed);
    EXPECT_EQ(cat.wait(5000), 0);
}

TEST(PipePeerPty, HandsOverTheLastBytesAProgramWroteBeforeExiting)
{
    VirtualLine line(LineOptions{});
    ASSERT_EQ(line.start(), 0);
    int b = openRawDevice(line.path(END_B));
    PipePeer peer(PipePeer::relayed({"sh", "-c", "printf 'last\\006'; exit 3"}, line.path(END_A), 0));
    ASSERT_EQ(peer.start(), 0);
    EXPECT_EQ(peer.wait(5000), 3);
    std::vector<std::uint8_t> expect = {'l', 'a', 's', 't', 6};
    EXPECT_EQ(readUpTo(b, expect.size(), 3000), expect);
    ::close(b);
}

TEST(PipePeerPty, KillsAProgramThatOutlivesItsTimeLimit)
{
    VirtualLine line(LineOptions{});
    ASSERT_EQ(line.start(), 0);
    PipePeer peer(PipePeer::relayed({"sleep", "30"}, line.path(END_A), 0));
    ASSERT_EQ(peer.start(), 0);
    double start = nowSeconds();
    EXPECT_EQ(peer.wait(200), -1);
    EXPECT_LT(nowSeconds() - start, 3.0);
}

TEST(VirtualLineProgram, PrintsBothPathsCarriesBytesAndEndsWhenAnEndCloses)
{
    std::string out = "/tmp/virtualline-test-" + std::to_string(getpid()) + ".txt";
    PipePeer::Options o;
    o.argv = {VIRTUALLINE_PATH, "--ab", "corrupt=1", "--ab", "mask=0x20", "--time-limit-ms", "20000"};
    o.stdoutPath = out;
    PipePeer program(o);
    ASSERT_EQ(program.start(), 0);
    std::string a, b;
    for (int i = 0; i < 300 && b.empty(); ++i) {
        usleep(10'000);
        std::FILE* f = std::fopen(out.c_str(), "r");
        char pathA[128] = "", pathB[128] = "";
        if (f && std::fscanf(f, "A %127s B %127s", pathA, pathB) == 2) {
            a = pathA;
            b = pathB;
        }
        if (f)
            std::fclose(f);
    }
    ASSERT_FALSE(b.empty());
    int fa = openRawDevice(a);
    int fb = openRawDevice(b);
    ASSERT_TRUE(writeAllTo(fa, {'a', 'b', 'c'}));
    EXPECT_EQ(readUpTo(fb, 3, 3000), (std::vector<std::uint8_t>{'a', 'B', 'c'}));
    ::close(fa);
    EXPECT_EQ(program.wait(5000), 0);
    ::close(fb);
    std::remove(out.c_str());

    PipePeer::Options bad;
    bad.argv = {VIRTUALLINE_PATH, "--ba", "drop=x"};
    PipePeer refused(bad);
    ASSERT_EQ(refused.start(), 0);
    EXPECT_EQ(refused.wait(5000), 2);
}

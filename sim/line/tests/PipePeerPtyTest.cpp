// A child program joined to an end of the virtual line through pipes.
#include <gtest/gtest.h>

#include <unistd.h>

#include "PipePeer.h"
#include "PtyTestSupport.h"
#include "VirtualLine.h"

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

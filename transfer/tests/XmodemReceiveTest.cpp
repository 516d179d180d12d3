// The engine receiving from a scripted sender on virtual time: frames in
// fragments, refused and repeated blocks, cancels, fall-back and time-outs.
#include <gtest/gtest.h>

#include "testkit/RecordingStatus.h"
#include "testkit/ScratchDir.h"
#include "testkit/Files.h"
#include "testkit/XmodemPeers.h"
#include "comlink/CommLink.h"
#include "transfer/XmodemTransfer.h"

using namespace testkit;

namespace {

class XmodemReceiveTest : public ::testing::Test {
protected:
    int receive()
    {
        started = clock.tickMs();
        return xfer.receiveFile(path.c_str());
    }
    std::vector<std::uint8_t> received() const { return readBytes(path); }
    std::uint32_t elapsedMs() { return clock.tickMs() - started; }
    // The start requests the engine sent, with their times from the start.
    std::vector<std::pair<std::uint32_t, int>> requests() const
    {
        std::vector<std::pair<std::uint32_t, int>> out;
        for (const TimedByte& b : peer.written)
            if (b.byte == 'C' || b.byte == XM_NAK)
                out.emplace_back(b.at - started, b.byte);
        return out;
    }
    // The data padded to whole 128-byte blocks, as the receiver keeps it.
    static std::vector<std::uint8_t> padded(std::vector<std::uint8_t> data)
    {
        data.resize((data.size() + 127) / 128 * 128, 0);
        return data;
    }

    ScratchDir dir;
    std::string path = dir / "caltab.bin";
    VirtualClock clock{0xFFFF8000u};
    XmodemSenderPeer peer{clock};
    CommLink link{&peer, &clock};
    RecordingStatus status;
    XmodemTransfer xfer{&link, &status};
    std::uint32_t started = 0;
};

TEST_F(XmodemReceiveTest, ReceivesWholeBlocksAndKeepsThePadding)
{
    const auto data = patternBytes(300);
    peer.planFile(data);
    ASSERT_EQ(receive(), 0);
    EXPECT_TRUE(peer.finished);
    EXPECT_EQ(received(), padded(data));
    EXPECT_EQ(status.bytesDone, 384u);
    EXPECT_EQ(status.blockNumber, 4);
    EXPECT_EQ(status.fileSize, 0u);
    EXPECT_TRUE(status.saw("Opening file " + path));
    EXPECT_TRUE(status.saw("Read 128 byte block 3"));
    EXPECT_TRUE(status.saw("End of file, cleaning up"));
    EXPECT_FALSE(containsCancelSequence(peer.writtenBytes()));
    EXPECT_EQ(requests().front().second, 'C');
}

TEST_F(XmodemReceiveTest, TakesMixedBlockSizes)
{
    const auto data = patternBytes(1024 + 1024 + 100);
    peer.plan = {XmodemSenderPeer::block(1, {data.begin(), data.begin() + 1024}, 1024),
                 XmodemSenderPeer::block(2, {data.begin() + 1024, data.begin() + 2048}, 1024),
                 XmodemSenderPeer::block(3, {data.begin() + 2048, data.end()}, 128)};
    peer.plan.push_back(XmodemSenderPeer::eot());
    ASSERT_EQ(receive(), 0);
    EXPECT_EQ(received(), padded(data));
}

TEST_F(XmodemReceiveTest, FrameSplitAtEveryPointStillArrives)
{
    const auto data = patternBytes(128);
    const std::size_t frameLength = 3 + 128 + 2;
    for (std::size_t split = 1; split < frameLength; ++split) {
        VirtualClock c;
        XmodemSenderPeer p{c};
        CommLink l{&p, &c};
        XmodemTransfer x{&l, nullptr};
        p.planFile(data);
        // The second piece comes 900 ms later: inside every per-byte time-out.
        p.plan[0].fragment = split;
        p.plan[0].gapMs = 900;
        ASSERT_EQ(x.receiveFile(path.c_str()), 0) << "split at " << split;
        ASSERT_EQ(x.status->errorCount, 0) << "split at " << split;
        ASSERT_EQ(received(), data) << "split at " << split;
    }
}

TEST_F(XmodemReceiveTest, SlowTrickleOfSmallFragmentsArrives)
{
    const auto data = patternBytes(2000);
    peer.planFile(data, 1024);
    for (Transmission& t : peer.plan) {
        t.fragment = 7;
        t.gapMs = 300;
    }
    ASSERT_EQ(receive(), 0);
    EXPECT_EQ(received(), padded(data));
    EXPECT_EQ(status.errorCount, 0);
}

// ---- refused and repeated blocks ------------------------------------------

TEST_F(XmodemReceiveTest, CorruptedBlockIsRefusedAndItsRepeatWritten)
{
    const auto data = patternBytes(500);
    peer.planFile(data);
    peer.plan[1].mangle = [](std::vector<std::uint8_t>& wire, int attempt) {
        if (attempt == 0)
            wire[50] ^= 0x10;
    };
    ASSERT_EQ(receive(), 0);
    EXPECT_EQ(received(), padded(data));
    EXPECT_EQ(status.errorCount, 1);
    EXPECT_EQ(peer.naks, 1);
    EXPECT_TRUE(status.saw("Bad checksum value on block number 2"));
}

TEST_F(XmodemReceiveTest, DuplicateBlockIsAcknowledgedAndNotWritten)
{
    const auto data = patternBytes(128 * 7);
    peer.planFile(data);
    // Block 5 again, as a sender does when our ACK was lost.
    peer.plan.insert(peer.plan.begin() + 5, peer.plan[4]);
    ASSERT_EQ(receive(), 0);
    EXPECT_EQ(received(), data);
    EXPECT_TRUE(status.saw("Duplicate block 6"));
    EXPECT_EQ(status.errorCount, 1);
    EXPECT_EQ(peer.acks, 9);  // 7 blocks, the repeat and EOT
}

TEST_F(XmodemReceiveTest, BlockNumberZeroFirstIsTakenAsARepeat)
{
    const auto data = patternBytes(200);
    peer.planFile(data);
    peer.plan.insert(peer.plan.begin(), XmodemSenderPeer::block(0, patternBytes(128, 99)));
    ASSERT_EQ(receive(), 0);
    EXPECT_EQ(received(), padded(data));
    EXPECT_TRUE(status.saw("Duplicate block 1"));
}

TEST_F(XmodemReceiveTest, OutOfSequenceBlockIsRefused)
{
    const auto data = patternBytes(400);
    peer.planFile(data);
    peer.plan[1].mangle = [](std::vector<std::uint8_t>& wire, int attempt) {
        if (attempt == 0) {
            wire[1] = 3;
            wire[2] = 252;
        }
    };
    ASSERT_EQ(receive(), 0);
    EXPECT_EQ(received(), padded(data));
    EXPECT_TRUE(status.saw("Bad block number waiting for number 2"));
}

TEST_F(XmodemReceiveTest, BrokenFrameIsRefusedOnceTheLineIsQuietAndResentOnce)
{
    const auto data = patternBytes(400);
    peer.planFile(data);
    // Noise in the complement: the rest of the frame is still coming when
    // the receiver notices. Its refusal must come after the rest, so the
    // block sent in answer is the one it reads.
    peer.plan[1].mangle = [](std::vector<std::uint8_t>& wire, int attempt) {
        if (attempt == 0)
            wire[2] ^= 0x01;
    };
    peer.plan[1].fragment = 16;
    peer.plan[1].gapMs = 20;
    ASSERT_EQ(receive(), 0);
    EXPECT_EQ(received(), padded(data));
    EXPECT_EQ(peer.naks, 1);
    EXPECT_EQ(status.errorCount, 1);
}

TEST_F(XmodemReceiveTest, FrameThatBreaksOffIsRefusedAfterTheDataTimeout)
{
    const auto data = patternBytes(300);
    peer.planFile(data);
    peer.plan[2].mangle = [](std::vector<std::uint8_t>& wire, int attempt) {
        if (attempt == 0)
            wire.resize(60);
    };
    ASSERT_EQ(receive(), 0);
    EXPECT_EQ(received(), padded(data));
    EXPECT_EQ(peer.naks, 1);
    // One 4-second wait for the missing byte, one quiet second.
    EXPECT_GE(elapsedMs(), 5000u);
    EXPECT_LT(elapsedMs(), 7000u);
}

TEST_F(XmodemReceiveTest, TenBadBlocksInARowEndWithTooManyErrors)
{
    peer.planFile(patternBytes(300));
    peer.plan[1].mangle = [](std::vector<std::uint8_t>& wire, int) { wire[40] ^= 0xFF; };
    EXPECT_EQ(receive(), XFER_TOO_MANY_ERRORS);
    EXPECT_EQ(status.consecutiveErrors, 10);
    EXPECT_TRUE(containsCancelSequence(peer.writtenBytes()));
    // The good block stays on disk; the result says the file is incomplete.
    EXPECT_EQ(received().size(), 128u);
}

// ---- cancels ---------------------------------------------------------------

TEST_F(XmodemReceiveTest, SingleCanInsteadOfAHeaderIsOneCountedError)
{
    const auto data = patternBytes(200);
    peer.planFile(data);
    peer.plan.insert(peer.plan.begin(), XmodemSenderPeer::raw({XM_CAN}));
    ASSERT_EQ(receive(), 0);
    EXPECT_EQ(received(), padded(data));
    EXPECT_EQ(status.errorCount, 1);
}

TEST_F(XmodemReceiveTest, TwoCanEndTheReceiveWithRemoteCancel)
{
    peer.planFile(patternBytes(300));
    peer.plan.insert(peer.plan.begin() + 1, XmodemSenderPeer::raw({XM_CAN, XM_CAN}));
    EXPECT_EQ(receive(), XFER_REMOTE_CANCEL);
    EXPECT_EQ(received().size(), 128u);
    EXPECT_TRUE(containsCancelSequence(peer.writtenBytes()));
}

// ---- start and fall-back ---------------------------------------------------

TEST_F(XmodemReceiveTest, SenderThatNeverStartsGetsCThreeTimesThenNakAndAfter50SecondsNoStart)
{
    peer.silentFrom = 0;
    peer.planFile(patternBytes(10));
    EXPECT_EQ(receive(), XFER_NO_START);
    const auto r = requests();
    ASSERT_EQ(r.size(), 11u);
    for (std::size_t i = 0; i < r.size(); ++i) {
        EXPECT_EQ(r[i].second, i < 3 ? int{'C'} : int{XM_NAK}) << i;
        // One request every 5 s; the reads of one second each add a little.
        EXPECT_NEAR(static_cast<double>(r[i].first), 5000.0 * static_cast<double>(i), 100.0 * (i + 1)) << i;
    }
    EXPECT_NEAR(static_cast<double>(elapsedMs()), 51000.0, 1500.0);
    EXPECT_TRUE(containsCancelSequence(peer.writtenBytes()));
    EXPECT_TRUE(received().empty());
}

TEST_F(XmodemReceiveTest, ChecksumOnlySenderIsReachedAfterTheFallBack)
{
    const auto data = patternBytes(700);
    peer.acceptCrc = false;
    peer.planFile(data);
    ASSERT_EQ(receive(), 0);
    EXPECT_FALSE(peer.crc);
    EXPECT_EQ(received(), padded(data));
    EXPECT_EQ(status.checkKind, CHECK_SUM8);
    EXPECT_EQ(xfer.crcMode, 0);
    EXPECT_EQ(status.errorCount, 3);

    // The next call starts in CRC mode again.
    peer.restart();
    peer.acceptCrc = true;
    peer.planFile(data);
    ASSERT_EQ(receive(), 0);
    EXPECT_TRUE(peer.crc);
    EXPECT_EQ(status.checkKind, CHECK_CRC16);
    EXPECT_EQ(status.errorCount, 0);
    EXPECT_EQ(received(), padded(data));
}

TEST_F(XmodemReceiveTest, SenderThatVanishesMidFileEndsWithNoStartAndKeepsTheBlocksSoFar)
{
    const auto data = patternBytes(128 * 6);
    peer.planFile(data);
    peer.silentFrom = 3;
    EXPECT_EQ(receive(), XFER_NO_START);
    EXPECT_EQ(received(), std::vector<std::uint8_t>(data.begin(), data.begin() + 384));
    // Ten header waits of 10 s each.
    EXPECT_NEAR(static_cast<double>(elapsedMs()), 101000.0, 2000.0);
}

} // namespace

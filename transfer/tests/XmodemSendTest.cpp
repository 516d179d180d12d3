// The engine sending to a scripted receiver on virtual time: block sizes
// and padding, start requests, refusals, cancels and time-outs.
#include <gtest/gtest.h>

#include "testkit/RecordingStatus.h"
#include "testkit/ScratchDir.h"
#include "testkit/Files.h"
#include "testkit/XmodemPeers.h"
#include "comlink/CommLink.h"
#include "transfer/Xmodem1kTransfer.h"

using namespace testkit;

namespace {

class XmodemSendTest : public ::testing::Test {
protected:
    // Writes data to a file and sends it with a transfer of the variant.
    int send(const std::vector<std::uint8_t>& data, int variant = 0)
    {
        EXPECT_TRUE(writeBytes(path, data));
        return sendAgain(variant);
    }
    int sendAgain(int variant = 0)
    {
        if (!xfer) {
            if (variant == 1)
                xfer = std::make_unique<Xmodem1kTransfer>(&link, &status);
            else
                xfer = std::make_unique<XmodemTransfer>(&link, &status);
        }
        started = clock.tickMs();
        return xfer->sendFile(path.c_str());
    }
    std::uint32_t elapsedMs() { return clock.tickMs() - started; }
    std::vector<int> frameSizes() const
    {
        std::vector<int> sizes;
        for (const ReceivedFrame& f : peer.frames)
            sizes.push_back(static_cast<int>(f.data.size()));
        return sizes;
    }
    std::vector<int> frameNumbers() const
    {
        std::vector<int> numbers;
        for (const ReceivedFrame& f : peer.frames)
            numbers.push_back(f.number);
        return numbers;
    }
    bool cancelled() const { return containsCancelSequence(peer.writtenBytes()); }

    ScratchDir dir;
    std::string path = dir / "image.bin";
    VirtualClock clock{0xFFFF8000u};  // wraps 32 s into each test
    XmodemReceiverPeer peer{clock};
    CommLink link{&peer, &clock};
    RecordingStatus status;
    std::unique_ptr<XmodemTransfer> xfer;
    std::uint32_t started = 0;
};

using Ints = std::vector<int>;

// ---- block sizes and padding ----------------------------------------------

TEST_F(XmodemSendTest, Variant0Sends300BytesAsThreePaddedBlocksThenEot)
{
    const auto data = patternBytes(300);
    ASSERT_EQ(send(data, 0), 0);
    EXPECT_EQ(frameSizes(), (Ints{128, 128, 128}));
    EXPECT_EQ(frameNumbers(), (Ints{1, 2, 3}));
    for (const ReceivedFrame& f : peer.frames) {
        EXPECT_EQ(f.header, XM_SOH);
        EXPECT_TRUE(f.checkOk);
    }
    ASSERT_EQ(peer.file.size(), 384u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), peer.file.begin()));
    EXPECT_EQ(std::count(peer.file.begin() + 300, peer.file.end(), 0), 84);
    EXPECT_EQ(peer.eotCount, 1);
    EXPECT_EQ(status.bytesDone, 300u);
    EXPECT_EQ(status.fileSize, 300u);
    EXPECT_EQ(status.filesOpened, 1);
    EXPECT_EQ(status.fileNameSnapshot(), path);
    EXPECT_TRUE(status.saw("Sending block 3"));
    EXPECT_TRUE(status.saw("File transmission complete"));
    EXPECT_FALSE(cancelled());
    EXPECT_EQ(xfer->fileOpen, 0);
}

struct SizeCase {
    std::size_t size;
    std::vector<int> blocks;
};

class Variant1BlockSizes : public XmodemSendTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(Variant1BlockSizes, Use1024WhileMoreThan896BytesRemain)
{
    const SizeCase& c = GetParam();
    const auto data = patternBytes(c.size);
    ASSERT_EQ(send(data, 1), 0);
    EXPECT_EQ(frameSizes(), c.blocks);
    for (const ReceivedFrame& f : peer.frames)
        EXPECT_EQ(f.header, f.data.size() == 1024 ? XM_STX : XM_SOH);
    ASSERT_GE(peer.file.size(), data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), peer.file.begin()));
    EXPECT_TRUE(std::all_of(peer.file.begin() + static_cast<std::ptrdiff_t>(c.size), peer.file.end(),
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(status.bytesDone, c.size);
}

INSTANTIATE_TEST_SUITE_P(Sizes, Variant1BlockSizes,
                         ::testing::Values(SizeCase{2000, {1024, 1024}}, SizeCase{900, {1024}},
                                           SizeCase{896, {128, 128, 128, 128, 128, 128, 128}},
                                           SizeCase{1921, {1024, 1024}},
                                           SizeCase{1920, {1024, 128, 128, 128, 128, 128, 128, 128}}));

TEST_F(XmodemSendTest, EmptyFileEndsWithNoDataAfterTheStartAndCancels)
{
    EXPECT_EQ(send({}), XFER_EMPTY_FILE);
    EXPECT_EQ(status.result, XFER_EMPTY_FILE);
    EXPECT_TRUE(peer.frames.empty());
    EXPECT_EQ(peer.eotCount, 0);
    EXPECT_TRUE(cancelled());
}

// ---- start requests --------------------------------------------------------

TEST_F(XmodemSendTest, NakStartFallsBackToChecksumForTheWholeFileAndNextCallUsesCrcAgain)
{
    peer.startBytes = {XM_NAK};
    const auto data = patternBytes(1000);
    ASSERT_EQ(send(data), 0);
    EXPECT_TRUE(status.saw("Falling back to checksum mode"));
    EXPECT_EQ(status.checkKind, CHECK_SUM8);
    EXPECT_EQ(peer.frames.size(), 8u);
    for (const ReceivedFrame& f : peer.frames)
        EXPECT_TRUE(f.checkOk) << "block " << f.number;  // the peer checks one-byte sums
    EXPECT_TRUE(std::equal(data.begin(), data.end(), peer.file.begin()));

    peer.restart();
    peer.startBytes = {'C'};
    ASSERT_EQ(sendAgain(), 0);
    EXPECT_EQ(status.checkKind, CHECK_CRC16);
    ASSERT_EQ(peer.frames.size(), 8u);
    EXPECT_TRUE(peer.frames[0].checkOk);
}

TEST_F(XmodemSendTest, StreamingStartIsNotAcceptedByThePlainVariants)
{
    peer.startBytes = {'G', 'C'};
    ASSERT_EQ(send(patternBytes(10)), 0);
    EXPECT_EQ(status.errorCount, 1);
}

TEST_F(XmodemSendTest, SingleCanBeforeTheStartIsOneCountedError)
{
    peer.startBytes = {XM_CAN, 'C'};
    ASSERT_EQ(send(patternBytes(10)), 0);
    EXPECT_EQ(status.errorCount, 1);
}

TEST_F(XmodemSendTest, TwoCanBeforeTheStartEndWithRemoteCancel)
{
    peer.startBytes = {XM_CAN, XM_CAN};
    EXPECT_EQ(send(patternBytes(10)), XFER_REMOTE_CANCEL);
    EXPECT_TRUE(status.saw("Remote end sent cancel code"));
    EXPECT_TRUE(peer.frames.empty());
    EXPECT_TRUE(cancelled());
}

TEST_F(XmodemSendTest, ReceiverThatNeverStartsGivesUpAfterTenTenSecondWaits)
{
    peer.startBytes = {};
    EXPECT_EQ(send(patternBytes(10)), XFER_NO_START);
    EXPECT_EQ(status.errorCount, 10);
    EXPECT_TRUE(peer.frames.empty());
    // Ten attempts of 10 s, then the clean-up's one-second pause.
    EXPECT_GE(elapsedMs(), 100000u);
    EXPECT_LE(elapsedMs(), 102000u);
}

TEST_F(XmodemSendTest, StartRequestRepeatedEveryFewSecondsIsAcceptedAfterTheInputPurge)
{
    peer.startDelayMs = 0;
    peer.repeatStartMs = 3000;
    peer.begin();  // the first 'C' is due at once and lost in the purge
    ASSERT_EQ(send(patternBytes(200)), 0);
    EXPECT_EQ(peer.frames.size(), 2u);
}

// ---- acknowledgements ------------------------------------------------------

TEST_F(XmodemSendTest, RefusedBlockIsSentAgain)
{
    peer.onFrame = [](const ReceivedFrame& f, int index) {
        return index == 1 ? PeerReply::Nak : (f.checkOk ? PeerReply::Ack : PeerReply::Nak);
    };
    const auto data = patternBytes(300);
    ASSERT_EQ(send(data), 0);
    EXPECT_EQ(frameNumbers(), (Ints{1, 2, 2, 3}));
    EXPECT_EQ(peer.frames[1].data, peer.frames[2].data);
    EXPECT_EQ(status.errorCount, 1);
}

TEST_F(XmodemSendTest, TenNaksInTheWholeTransferEndWithTooManyErrors)
{
    int refusals = 0;
    // Refusals spread over several blocks count against one limit.
    peer.onFrame = [&](const ReceivedFrame&, int index) {
        if (index % 2 == 0 && refusals < 10) {
            ++refusals;
            return PeerReply::Nak;
        }
        return PeerReply::Ack;
    };
    EXPECT_EQ(send(patternBytes(128 * 20)), XFER_TOO_MANY_ERRORS);
    EXPECT_EQ(status.errorCount, 10);
    EXPECT_TRUE(status.saw("Exceeded maximum error count"));
    EXPECT_TRUE(cancelled());
}

TEST_F(XmodemSendTest, NakAfterEveryBlockRepeatsTheSameBlockTenTimes)
{
    peer.onFrame = [](const ReceivedFrame&, int) { return PeerReply::Nak; };
    EXPECT_EQ(send(patternBytes(300)), XFER_TOO_MANY_ERRORS);
    EXPECT_EQ(frameNumbers(), Ints(10, 1));
}

TEST_F(XmodemSendTest, NoiseInsteadOfAnAckIsDrainedAndTheBlockSentAgain)
{
    peer.onFrame = [](const ReceivedFrame&, int index) { return index == 0 ? PeerReply::Garbage : PeerReply::Ack; };
    ASSERT_EQ(send(patternBytes(200)), 0);
    EXPECT_EQ(frameNumbers(), (Ints{1, 1, 2}));
}

TEST_F(XmodemSendTest, SingleCanAfterABlockIsACountedErrorAndTwoCancel)
{
    peer.onFrame = [](const ReceivedFrame&, int index) { return index == 0 ? PeerReply::SingleCan : PeerReply::Ack; };
    ASSERT_EQ(send(patternBytes(200)), 0);
    EXPECT_EQ(frameNumbers(), (Ints{1, 1, 2}));

    peer.restart();
    peer.onFrame = [](const ReceivedFrame&, int index) { return index == 1 ? PeerReply::Cancel : PeerReply::Ack; };
    EXPECT_EQ(sendAgain(), XFER_REMOTE_CANCEL);
    EXPECT_TRUE(cancelled());
}

TEST_F(XmodemSendTest, AckJustInsideTheTenSecondBudgetIsTaken)
{
    peer.replyDelayMs = 9500;
    ASSERT_EQ(send(patternBytes(200)), 0);
    EXPECT_EQ(frameNumbers(), (Ints{1, 2}));
    EXPECT_EQ(status.errorCount, 0);
}

TEST_F(XmodemSendTest, OutputIsGivenTimeToLeaveBeforeTheAckIsAwaited)
{
    // 57600 baud: about 5.76 bytes per ms. 8 KB take about 1.4 s to leave.
    peer.txBytesPerMs = 6;
    ASSERT_EQ(send(patternBytes(8192), 1), 0);
    EXPECT_EQ(peer.frames.size(), 8u);
    EXPECT_GE(elapsedMs(), 8192u / 6u);
}

TEST_F(XmodemSendTest, ASlowLineGetsTheTimeA1KBlockNeedsToLeave)
{
    // 150 baud, 8N1: a 1029-byte frame takes about 69 s on the line, longer
    // than the 60 s the port may hold a block that does not move.
    peer.baud = 150;
    peer.txMsPerByte = 67;
    ASSERT_EQ(send(patternBytes(1100), 1), 0);
    EXPECT_EQ(frameSizes(), (Ints{1024, 128}));
    EXPECT_GE(elapsedMs(), 1029u * 67u);
    EXPECT_EQ(status.errorCount, 0);
}

} // namespace

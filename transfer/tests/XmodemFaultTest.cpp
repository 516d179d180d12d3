// The engine under bad input and failing parts: missing files, a file
// engine that fails, a port that dies or stops taking output, a peer that
// vanishes, abort requests and loss of carrier. Every failure must end the
// call in bounded virtual time with a negative result.
#include <gtest/gtest.h>

#include <filesystem>

#include "testkit/RecordingStatus.h"
#include "testkit/ScratchDir.h"
#include "testkit/Files.h"
#include "testkit/XmodemPeers.h"
#include "comlink/CommLink.h"
#include "transfer/XmodemTransfer.h"

using namespace testkit;

namespace {

// A real file engine with injected failures.
class FailingFileEngine : public FileEngine {
public:
    int start(const char* list, int recurse) override { return real->start(list, recurse); }
    int open(const char* path, const char* mode) override { return real->open(path, mode); }
    int close() override
    {
        const int r = real->close();
        return failClose ? FILE_ENGINE_CLOSE_FAILED : r;
    }
    int seek(int offset, int origin) override { return real->seek(offset, origin); }
    int tell() override { return real->tell(); }
    int size() override { return real->size(); }
    int nextFile() override { return real->nextFile(); }
    unsigned write(const std::uint8_t* bytes, unsigned n) override
    {
        const unsigned room = writeLimit > written ? writeLimit - written : 0;
        const unsigned w = real->write(bytes, std::min(n, room));
        written += w;
        return w;
    }
    unsigned read(std::uint8_t* bytes, unsigned n) override
    {
        const unsigned left = readLimit > readSoFar ? readLimit - readSoFar : 0;
        const unsigned r = real->read(bytes, std::min(n, left));
        readSoFar += r;
        return r;
    }
    const char* nameBuffer() override { return real->nameBuffer(); }

    std::unique_ptr<FileEngine> real = createFileEngine();
    unsigned writeLimit = ~0u;
    unsigned readLimit = ~0u;
    bool failClose = false;
    unsigned written = 0;
    unsigned readSoFar = 0;
};

class SendFaultTest : public ::testing::Test {
protected:
    int send(const std::vector<std::uint8_t>& data)
    {
        EXPECT_TRUE(writeBytes(path, data));
        started = clock.tickMs();
        return xfer.sendFile(path.c_str());
    }
    std::uint32_t elapsedMs() { return clock.tickMs() - started; }

    ScratchDir dir;
    std::string path = dir / "image.bin";
    VirtualClock clock;
    XmodemReceiverPeer peer{clock};
    CommLink link{&peer, &clock};
    RecordingStatus status;
    XmodemTransfer xfer{&link, &status};
    std::uint32_t started = 0;
};

class ReceiveFaultTest : public ::testing::Test {
protected:
    int receive(const std::string& target)
    {
        started = clock.tickMs();
        return xfer.receiveFile(target.c_str());
    }
    std::uint32_t elapsedMs() { return clock.tickMs() - started; }

    ScratchDir dir;
    VirtualClock clock;
    XmodemSenderPeer peer{clock};
    CommLink link{&peer, &clock};
    RecordingStatus status;
    XmodemTransfer xfer{&link, &status};
    std::uint32_t started = 0;
};

// ---- names and files -------------------------------------------------------

TEST_F(SendFaultTest, MissingFileIsReportedWithoutTouchingTheLine)
{
    EXPECT_EQ(xfer.sendFile((dir / "missing.bin").c_str()), XFER_NO_FILE);
    EXPECT_EQ(status.result, 0);
    EXPECT_TRUE(peer.written.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.bin"));
    EXPECT_EQ(xfer.sendFile(nullptr), XFER_NO_FILE);
}

TEST_F(SendFaultTest, NameListSendsTheFirstExistingMatch)
{
    ASSERT_TRUE(writeBytes(dir / "b.bin", patternBytes(50)));
    ASSERT_TRUE(writeBytes(dir / "a.bin", patternBytes(20)));
    const std::string list = dir / "missing.bin, " + dir.prefix() + "*.bin";
    ASSERT_EQ(xfer.sendFile(list.c_str()), 0);
    EXPECT_EQ(status.fileNameSnapshot(), dir / "a.bin");
    EXPECT_EQ(status.bytesDone, 20u);
}

TEST_F(SendFaultTest, FileThatEndsBeforeItsSizeIsNotPassedOffAsComplete)
{
    FailingFileEngine engine;
    engine.readLimit = 256;
    xfer.setFileEngine(&engine);
    EXPECT_EQ(send(patternBytes(1000)), XFER_EMPTY_FILE);
    EXPECT_EQ(peer.eotCount, 0);
    EXPECT_EQ(peer.frames.size(), 2u);
    EXPECT_TRUE(containsCancelSequence(peer.writtenBytes()));
}

TEST_F(ReceiveFaultTest, TargetInAMissingDirectoryFailsToOpenAndCancels)
{
    peer.planFile(patternBytes(100));
    EXPECT_EQ(receive(dir / "no/such/dir/cal.bin"), XFER_OPEN_FAILED);
    EXPECT_TRUE(status.saw("Failed to open file"));
    EXPECT_TRUE(containsCancelSequence(peer.writtenBytes()));
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

TEST_F(ReceiveFaultTest, FullDiskEndsWithShortWriteAndCancels)
{
    FailingFileEngine engine;
    engine.writeLimit = 300;
    ASSERT_EQ(xfer.setFileEngine(&engine), 1);
    EXPECT_EQ(xfer.setFileEngine(nullptr), 0);
    peer.planFile(patternBytes(128 * 5));
    EXPECT_EQ(receive(dir / "cal.bin"), XFER_WRITE_SHORT);
    EXPECT_TRUE(containsCancelSequence(peer.writtenBytes()));
    EXPECT_EQ(xfer.fileOpen, 0);
}

TEST_F(ReceiveFaultTest, FileThatFailsToCloseIsNoSuccess)
{
    FailingFileEngine engine;
    engine.failClose = true;
    xfer.setFileEngine(&engine);
    peer.planFile(patternBytes(200));
    EXPECT_EQ(receive(dir / "cal.bin"), XFER_WRITE_SHORT);
}

TEST_F(ReceiveFaultTest, MessagesAreCutTo83Characters)
{
    const std::string longName = dir / std::string(150, 'k');
    peer.planFile(patternBytes(10));
    receive(longName);
    ASSERT_FALSE(status.messages.empty());
    for (const std::string& m : status.messages)
        EXPECT_LE(m.size(), 83u) << m;
    EXPECT_EQ(status.messages.front(), ("Opening file " + longName).substr(0, 83));
}

// ---- a peer or port that goes away -----------------------------------------

TEST_F(SendFaultTest, ReceiverThatVanishesMidFileEndsWithTooManyErrors)
{
    peer.onFrame = [](const ReceivedFrame&, int index) { return index < 3 ? PeerReply::Ack : PeerReply::Silence; };
    EXPECT_EQ(send(patternBytes(128 * 8)), XFER_TOO_MANY_ERRORS);
    EXPECT_EQ(peer.frames.size(), 3u + 10u);
    // Ten waits of 10 s for an ACK, then the clean-up's second.
    EXPECT_NEAR(static_cast<double>(elapsedMs()), 101000.0, 1500.0);
}

TEST_F(SendFaultTest, PortThatDiesMidFileEndsTheCallWithItsCode)
{
    peer.onFrame = [this](const ReceivedFrame&, int index) {
        if (index == 2) {
            peer.idleResult = COMM_DEVICE_FAULT;
            return PeerReply::Silence;
        }
        return PeerReply::Ack;
    };
    EXPECT_EQ(send(patternBytes(128 * 8)), COMM_DEVICE_FAULT);
    EXPECT_LT(elapsedMs(), 5000u);
}

TEST_F(ReceiveFaultTest, PortThatDiesMidFileEndsTheCallWithItsCode)
{
    peer.planFile(patternBytes(128 * 6));
    peer.plan[3].mangle = [this](std::vector<std::uint8_t>& wire, int) {
        peer.idleResult = COMM_DEVICE_FAULT;
        wire.resize(40);
    };
    EXPECT_EQ(receive(dir / "cal.bin"), COMM_DEVICE_FAULT);
    EXPECT_LT(elapsedMs(), 5000u);
}

TEST_F(SendFaultTest, PortThatTakesNoOutputTimesOutAfterThirtySeconds)
{
    // The sender only reads until the start request comes; from then on
    // the port takes nothing.
    peer.refuseOutput = true;
    EXPECT_EQ(send(patternBytes(300)), XFER_BUFFER_TIMEOUT);
    EXPECT_TRUE(status.saw("Timeout error sending buffer"));
    EXPECT_TRUE(status.saw("Error sending first character"));
    EXPECT_TRUE(status.saw("25 sec left to WriteChar"));
    EXPECT_TRUE(status.saw("55 sec to complete WriteBuffer"));  // the cancel sequence
    // 30 s for the header byte, 60 s for the cancel sequence, 1 s pause.
    EXPECT_NEAR(static_cast<double>(elapsedMs()), 91000.0, 1500.0);
}

// ---- abort and carrier -----------------------------------------------------

TEST_F(SendFaultTest, AbortRequestEndsTheSendWithItsCode)
{
    status.abortWhen = [this] { return status.bytesDone >= 256 ? -930 : 0; };
    EXPECT_EQ(send(patternBytes(2000)), -930);
    EXPECT_TRUE(status.saw("Transfer aborted..."));
    EXPECT_TRUE(containsCancelSequence(peer.writtenBytes()));
    EXPECT_LE(peer.frames.size(), 3u);
    EXPECT_GT(status.notifyCalls, 0);
}

TEST_F(ReceiveFaultTest, AbortRequestEndsTheReceiveWithItsCode)
{
    status.abortWhen = [this] { return status.bytesDone >= 256 ? -931 : 0; };
    peer.planFile(patternBytes(128 * 6));
    EXPECT_EQ(receive(dir / "cal.bin"), -931);
    EXPECT_TRUE(containsCancelSequence(peer.writtenBytes()));
    EXPECT_EQ(readBytes(dir / "cal.bin").size(), 256u);
}

TEST_F(SendFaultTest, LostCarrierAbortsOnlyWhenWatched)
{
    peer.carrier = false;
    ASSERT_EQ(send(patternBytes(100)), 0);

    peer.restart();
    xfer.setCarrierWatch(1);
    EXPECT_EQ(send(patternBytes(100)), XFER_CARRIER_LOST);
    EXPECT_TRUE(status.saw("Transfer aborted..."));

    peer.restart();
    peer.carrier = true;
    EXPECT_EQ(send(patternBytes(100)), 0);
}

// ---- the base class --------------------------------------------------------

TEST(FileTransferDeathTest, BaseClassCannotSendOrReceive)
{
    FileTransfer base(nullptr, nullptr);
    EXPECT_EXIT(base.sendFile("x"), ::testing::ExitedWithCode(1), "Pure Virtual function called @TRANSFER,435");
    EXPECT_EXIT(base.receiveFile("x"), ::testing::ExitedWithCode(1), "Pure Virtual function called @TRANSFER,437");
}

} // namespace

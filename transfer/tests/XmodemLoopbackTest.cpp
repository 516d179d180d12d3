// Our sender against our receiver through two joined fake ports, in
// virtual time: every size class of the block-size and padding rules.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "testkit/PipePair.h"
#include "testkit/RecordingStatus.h"
#include "testkit/ScratchDir.h"
#include "testkit/Files.h"
#include "testkit/XmodemPeers.h"
#include "comlink/CommLink.h"
#include "transfer/Xmodem1kTransfer.h"

using namespace testkit;

namespace {

// The length a receiver ends up with: whole blocks, sized by the sender's rule.
std::size_t receivedLength(std::size_t size, int variant)
{
    std::size_t total = 0;
    while (size > 0) {
        std::size_t block = variant != 0 && size > 896 ? 1024 : 128;
        total += block;
        size -= std::min(size, block);
    }
    return total;
}

std::unique_ptr<XmodemTransfer> makeTransfer(int variant, CommLink* link, TransferStatus* status)
{
    std::unique_ptr<XmodemTransfer> xfer;
    if (variant == 0)
        xfer = std::make_unique<XmodemTransfer>(link, status);
    else
        xfer = std::make_unique<Xmodem1kTransfer>(link, status);
    xfer->status->variant = variant;
    return xfer;
}

struct LoopbackResult {
    int sent = 0;
    int received = 0;
    std::vector<std::uint8_t> file;
};

LoopbackResult loopback(const std::vector<std::uint8_t>& data, int variant, PipePair& pair, ScratchDir& dir,
                        RecordingStatus* sendStatus = nullptr)
{
    const std::string in = dir / "in.bin";
    const std::string out = dir / "out.bin";
    EXPECT_TRUE(writeBytes(in, data));
    LoopbackResult r;
    pair.run(
        [&](FakePort& port) {
            CommLink link(&port, &pair.clock);
            auto xfer = makeTransfer(variant, &link, sendStatus);
            r.sent = xfer->sendFile(in.c_str());
        },
        [&](FakePort& port) {
            CommLink link(&port, &pair.clock);
            auto xfer = makeTransfer(variant, &link, nullptr);
            r.received = xfer->receiveFile(out.c_str());
        });
    r.file = readBytes(out);
    return r;
}

class LoopbackSizes : public ::testing::TestWithParam<std::tuple<int, std::size_t>> {};

TEST_P(LoopbackSizes, ReceiverGetsTheDataPaddedToWholeBlocks)
{
    const auto [variant, size] = GetParam();
    ScratchDir dir;
    PipePair pair(0xFFFFF000u);  // the tick counter wraps during the run
    const std::vector<std::uint8_t> data = patternBytes(size, static_cast<std::uint32_t>(size));
    LoopbackResult r = loopback(data, variant, pair, dir);

    if (size == 0) {
        // Nothing to send: the sender gives up and cancels, the receiver
        // sees the cancel and keeps an empty file.
        EXPECT_EQ(r.sent, XFER_EMPTY_FILE);
        EXPECT_EQ(r.received, XFER_REMOTE_CANCEL);
        EXPECT_TRUE(r.file.empty());
        return;
    }
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(r.received, 0);
    ASSERT_EQ(r.file.size(), receivedLength(size, variant));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), r.file.begin()));
    EXPECT_TRUE(std::all_of(r.file.begin() + static_cast<std::ptrdiff_t>(size), r.file.end(),
                            [](std::uint8_t b) { return b == 0; }));
}

INSTANTIATE_TEST_SUITE_P(Sizes, LoopbackSizes,
                         ::testing::Combine(::testing::Values(0, 1),
                                            ::testing::Values(0u, 1u, 127u, 128u, 129u, 896u, 897u, 1023u,
                                                              1024u, 1025u, 262144u)));

class LoopbackVariants : public ::testing::TestWithParam<int> {};

// The variants the program does not select still work end to end: 2 as 1,
// 3 and 4 streaming ('G' start, no ACK per block, ACK for the EOT).
TEST_P(LoopbackVariants, TransferAFileEndToEnd)
{
    ScratchDir dir;
    PipePair pair;
    const std::vector<std::uint8_t> data = patternBytes(5000);
    LoopbackResult r = loopback(data, GetParam(), pair, dir);
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(r.received, 0);
    ASSERT_EQ(r.file.size(), receivedLength(data.size(), 1));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), r.file.begin()));
}

INSTANTIATE_TEST_SUITE_P(Variants, LoopbackVariants, ::testing::Values(2, 3, 4));

TEST(Loopback, ProgressCanBeReadFromAnotherThreadWhileTheTransferRuns)
{
    ScratchDir dir;
    PipePair pair;
    RecordingStatus status;
    std::atomic<bool> stop{false};
    std::atomic<int> badReads{0};
    const std::string in = dir / "in.bin";
    std::thread gui([&] {
        unsigned lastBytes = 0;
        while (!stop) {
            const std::string name = status.fileNameSnapshot();
            const unsigned bytes = status.bytesDone;
            const int block = status.blockNumber;
            if (!(name.empty() || name == "<None>" || name == in) || block < 0)
                ++badReads;
            // One transfer: the count only grows once the file is open.
            if (bytes < lastBytes && bytes != 0)
                ++badReads;
            lastBytes = bytes;
        }
    });
    LoopbackResult r = loopback(patternBytes(64 * 1024), 1, pair, dir, &status);
    stop = true;
    gui.join();
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(badReads, 0);
    EXPECT_EQ(status.fileNameSnapshot(), in);
    EXPECT_EQ(status.bytesDone, 64u * 1024u);
}

} // namespace

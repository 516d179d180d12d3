// Our sender against our receiver through two joined fake ports, in
// virtual time: every size class of the block-size and padding rules.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "PipePair.h"
#include "RecordingStatus.h"
#include "TempDir.h"
#include "XmodemPeers.h"
#include "comlink/CommLink.h"
#include "transfer/Xmodem1kTransfer.h"

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
    if (variant == 1)
        return std::make_unique<Xmodem1kTransfer>(link, status);
    return std::make_unique<XmodemTransfer>(link, status);
}

struct LoopbackResult {
    int sent = 0;
    int received = 0;
    std::vector<std::uint8_t> file;
};

LoopbackResult loopback(const std::vector<std::uint8_t>& data, int variant, PipePair& pair, TempDir& dir,
                        RecordingStatus* sendStatus = nullptr)
{
    const std::string in = dir / "in.bin";
    const std::string out = dir / "out.bin";
    EXPECT_TRUE(writeWholeFile(in, data));
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
    r.file = readWholeFile(out);
    return r;
}

class LoopbackSizes : public ::testing::TestWithParam<std::tuple<int, std::size_t>> {};

TEST_P(LoopbackSizes, ReceiverGetsTheDataPaddedToWholeBlocks)
{
    const auto [variant, size] = GetParam();
    TempDir dir;
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

TEST(Loopback, ProgressCanBeReadFromAnotherThreadWhileTheTransferRuns)
{
    TempDir dir;
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

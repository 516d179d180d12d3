// The serial trace's formatter: frames at every split point, text, start
// requests, check kinds and frames cut short on the line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/cli/TraceFormatter.h"
#include "transfer/BlockCheck.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr auto kSent = TraceDirection::Sent;
constexpr auto kRecv = TraceDirection::Received;

Bytes frame(std::uint8_t start, std::uint8_t block, bool crc)
{
    const std::size_t size = start == 0x01 ? 128 : 1024;
    Bytes f{start, block, static_cast<std::uint8_t>(0xff - block)};
    for (std::size_t i = 0; i < size; ++i)
        f.push_back(static_cast<std::uint8_t>(i * 7 + block));
    if (crc) {
        Crc16 check;
        const unsigned sum = check.compute(f.data() + 3, static_cast<unsigned>(size), 0);
        f.push_back(static_cast<std::uint8_t>(sum >> 8));
        f.push_back(static_cast<std::uint8_t>(sum & 0xff));
    } else {
        Checksum8 check;
        f.push_back(static_cast<std::uint8_t>(check.compute(f.data() + 3, static_cast<unsigned>(size), 0)));
    }
    return f;
}

Bytes text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

// Feeds pieces in order (time t each) and collects every line, flush included.
struct Feeder {
    TraceFormatter f;
    std::vector<std::string> lines;

    void feed(TraceDirection dir, const Bytes& b, std::uint32_t t, std::size_t from = 0, std::size_t to = SIZE_MAX)
    {
        to = std::min(to, b.size());
        std::vector<std::string> out = f.feed(dir, b.data() + from, to - from, t);
        lines.insert(lines.end(), out.begin(), out.end());
    }
    std::vector<std::string> finish()
    {
        std::vector<std::string> out = f.flush();
        lines.insert(lines.end(), out.begin(), out.end());
        return lines;
    }
};

}  // namespace

TEST(TraceFormatter, FramesReadTheSameAtEverySplitPoint)
{
    for (const auto& [start, crc, expected] :
         {std::tuple{std::uint8_t{0x01}, true, "-> SOH block 3 (128 bytes, CRC ok)"},
          std::tuple{std::uint8_t{0x02}, true, "-> STX block 3 (1024 bytes, CRC ok)"}}) {
        const Bytes f = frame(start, 3, crc);
        for (std::size_t cut = 0; cut <= f.size(); ++cut) {
            Feeder feeder;
            feeder.feed(kRecv, text("C"), 100);
            feeder.feed(kSent, f, 200, 0, cut);
            feeder.feed(kSent, f, 210, cut);
            feeder.feed(kRecv, Bytes{0x06}, 220);
            const std::vector<std::string> lines = feeder.finish();
            ASSERT_EQ(lines.size(), 3u) << "cut at " << cut;
            EXPECT_EQ(lines[0], "     0.100 <- C (start request, CRC)");
            // The frame keeps the time of its first byte.
            EXPECT_EQ(lines[1], std::string(cut == 0 ? "     0.210 " : "     0.200 ") + expected) << cut;
            EXPECT_EQ(lines[2], "     0.220 <- ACK");
        }
    }
}

TEST(TraceFormatter, TextBecomesEscapedLinesEndingAtLineFeeds)
{
    Feeder feeder;
    feeder.feed(kSent, text("idn? k\n"), 1000);
    feeder.feed(kRecv, text("\r\n(K 1.2"), 1010);
    feeder.feed(kRecv, text("21)\x1b\"\\\r\nne>>"), 1020);
    feeder.feed(kSent, text("btx\n"), 1500);
    EXPECT_EQ(feeder.finish(), (std::vector<std::string>{
                                   "     1.000 -> \"idn? k\\n\"",
                                   "     1.010 <- \"\\r\\n\"",
                                   "     1.010 <- \"(K 1.221)\\x1b\\\"\\\\\\r\\n\"",
                                   // The prompt has no line feed: it ends when the host speaks.
                                   "     1.020 <- \"ne>>\"",
                                   "     1.500 -> \"btx\\n\"",
                               }));
}

TEST(TraceFormatter, ANakStartAsksForTheChecksumAndAMalformedHeaderIsText)
{
    Feeder feeder;
    feeder.feed(kRecv, Bytes{0x15}, 0);
    feeder.feed(kSent, frame(0x01, 1, false), 10);
    // Complement does not match: not a frame.
    feeder.feed(kSent, Bytes{0x01, 0x05, 0x05, 'x', '\n'}, 20);
    EXPECT_EQ(feeder.finish(), (std::vector<std::string>{
                                   "     0.000 <- NAK",
                                   "     0.010 -> SOH block 1 (128 bytes, checksum ok)",
                                   "     0.020 -> \"\\x01\\x05\\x05x\\n\"",
                               }));
}

TEST(TraceFormatter, AFrameCutShortEndsAtTheAnswerOrAfterSilenceAndTheNextReadsWhole)
{
    Bytes f = frame(0x01, 7, true);
    Feeder feeder;
    feeder.feed(kSent, f, 0, 0, 60);
    feeder.feed(kRecv, Bytes{0x15}, 1000);  // the receiver gave up on it
    feeder.feed(kSent, f, 1100);
    feeder.feed(kSent, f, 1200, 0, 10);
    feeder.feed(kSent, f, 2500);  // resent after more than a second of silence
    f[50] ^= 0xff;
    feeder.feed(kSent, f, 2600);
    EXPECT_EQ(feeder.finish(), (std::vector<std::string>{
                                   "     0.000 -> SOH block 7 (truncated: 60 of 133 bytes)",
                                   "     1.000 <- NAK",
                                   "     1.100 -> SOH block 7 (128 bytes, CRC ok)",
                                   "     1.200 -> SOH block 7 (truncated: 10 of 133 bytes)",
                                   "     2.500 -> SOH block 7 (128 bytes, CRC ok)",
                                   "     2.600 -> SOH block 7 (128 bytes, CRC BAD)",
                               }));
}

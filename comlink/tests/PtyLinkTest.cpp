// CommLink over a real pseudo-terminal: reply reading, line writing,
// restoring the line, the dump, and a far end that hangs up.
#include <gtest/gtest.h>

#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "testkit/Pty.h"
#include "comlink/CommLink.h"
#include "comlink/LineState.h"
#include "comlink/PortSettings.h"
#include "comlink/PosixCommPort.h"

using namespace testkit;

namespace {

using Millis = std::chrono::milliseconds;

long elapsedMs(std::chrono::steady_clock::time_point since)
{
    return static_cast<long>(
        std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - since).count());
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

class PtyLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        ASSERT_EQ(port.lastError, 0);
    }
    Pty pty;
    PosixCommPort port{pty.path, 4096, 2048};
};

TEST_F(PtyLinkTest, ReadStringStopsAtMaxCharsWithoutWaitingForTheTimeout)
{
    CommLink link(&port);
    pty.send("OK\r\n>> ");
    ASSERT_TRUE(waitForInput(port.fileDescriptor(), 7));
    char buffer[6];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.readString(buffer, 5, -1, 500), 5);
    EXPECT_LT(elapsedMs(start), 250);
    EXPECT_STREQ(buffer, "OK\r\n>");
    EXPECT_EQ(link.readChar(0), '>');
    EXPECT_EQ(link.readChar(0), ' ');
}

TEST_F(PtyLinkTest, ReadStringStoresTheTerminatorAndStopsAfterIt)
{
    CommLink link(&port);
    pty.send("idn\nrest");
    char buffer[64];
    EXPECT_EQ(link.readString(buffer, 63, '\n', 1000), 4);
    EXPECT_STREQ(buffer, "idn\n");
    EXPECT_EQ(link.readString(buffer, 63, '\n', 200), 4);
    EXPECT_STREQ(buffer, "rest");
}

TEST_F(PtyLinkTest, ReadStringOnASilentLineReturnsEmptyAfterTheTimeout)
{
    CommLink link(&port);
    char buffer[8] = "junk";
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuMs();
    EXPECT_EQ(link.readString(buffer, 7, -1, 300), 0);
    const long wall = elapsedMs(start);
    EXPECT_STREQ(buffer, "");
    EXPECT_GE(wall, 299);
    EXPECT_LT(wall, 1500);
    // Waiting sleeps in poll(): a spinning loop would burn the whole 300 ms.
    EXPECT_LT(threadCpuMs() - cpuStart, 0.25 * static_cast<double>(wall));
}

TEST_F(PtyLinkTest, WaitWithUnreadInputDoesNotSpin)
{
    CommLink link(&port);
    pty.send("unread reply");
    ASSERT_TRUE(waitForInput(port.fileDescriptor(), 12));
    const double cpuStart = threadCpuMs();
    EXPECT_EQ(link.wait(300), 0);
    EXPECT_LT(threadCpuMs() - cpuStart, 75.0);
    EXPECT_EQ(link.rxCount(), 12);  // waiting consumed nothing
}

TEST_F(PtyLinkTest, WriteLineSendsTheTextAndTheChosenEnding)
{
    CommLink link(&port);
    struct Case {
        int terminator;
        std::string ending;
    } cases[] = {{TERM_NONE, ""}, {TERM_LF, "\n"}, {TERM_CRLF, "\r\n"}, {0, std::string(1, '\0')},
                 {'>', ">"},      {255, "\xff"}};
    for (const Case& c : cases) {
        EXPECT_EQ(link.writeLine("boot", c.terminator), static_cast<int>(4 + c.ending.size()))
            << c.terminator;
        EXPECT_EQ(pty.receive(), "boot" + c.ending) << c.terminator;
    }
    EXPECT_EQ(link.writeLine("boot", -4), 0);
    EXPECT_EQ(link.writeLine("boot", 256), 0);
    EXPECT_EQ(link.writeLine(nullptr, TERM_LF), 0);
    EXPECT_EQ(link.writeLine("", TERM_LF), 1);
    EXPECT_EQ(pty.receive(), "\n");
}

TEST_F(PtyLinkTest, DestroyingTheLinkRestoresWhatItFound)
{
    ASSERT_EQ(port.setLineSettings(38400, 'E', 7, 2), 0);
    ASSERT_EQ(port.setFlowControl(1, 1), 0);
    auto attributes = [this] {
        termios t{};
        tcgetattr(port.fileDescriptor(), &t);
        return t;
    };
    {
        CommLink link(&port);
        termios t = attributes();
        EXPECT_EQ(cfgetospeed(&t), B9600);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
        // The engine's own holder changes the rate and never restores it.
        PortSettings engine(&link);
        EXPECT_EQ(engine.setBaudRate(57600), 0);
        t = attributes();
        EXPECT_EQ(cfgetospeed(&t), B57600);
    }
    const termios t = attributes();
    EXPECT_EQ(cfgetospeed(&t), B38400);
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    int baud = 0, data = 0, stop = 0;
    char parity = 0;
    port.getLineSettings(baud, parity, data, stop);
    EXPECT_EQ(baud, 38400);
    EXPECT_EQ(parity, 'E');
    EXPECT_EQ(data, 7);
    EXPECT_EQ(stop, 2);
    int in = 0, out = 0;
    port.getFlowControl(in, out);
    EXPECT_EQ(in, 1);
    EXPECT_EQ(out, 1);
}

TEST_F(PtyLinkTest, DumpWritesTheTwelveLinesOfLinkPortAndHolders)
{
    CommLink link(&port);
    pty.send("abc");
    ASSERT_TRUE(waitForInput(port.fileDescriptor(), 3));
    std::vector<std::string> lines;
    link.dump([&](const char* s) { lines.emplace_back(s); });
    const std::vector<std::string> expected = {
        "",
        "Port type: POSIX termios  BaudRate: 9600    ByteSize: 8  Parity: 0",
        "StopBits: 0  fBinary: 1  fRtsControl: 1",
        "Parity: 0  OutCtsFlow: 0  OutDsrFlow: 0  DtrControl: 1  OutX: 0  InX: 0",
        "Null: 0  XonChar: 11  XoffChar: 13",
        "XonLim: 1024  XoffLim: 128   EofChr: 00  EvtChr: 00",
        "RX sz/ct:  4096/3      TX sz/ct:  2048/0      BLOCK SENT:0  BLOCK RECEIVED:0",
        "Old Port - Baud:  19200    Parity: N    Data: 8    Stop: 1    ",
        "New Port - Baud:   9600    Parity: N    Data: 8    Stop: 1    ",
        "Old Flow IN: NONE     OUT: NONE      New Flow IN: NONE     OUT: NONE      ",
        "DTR: 1  RTS: 1  OE: 0  PE: 0  FE: 0  BD: 0  OV: 0  ",
        "DSR: 0  CTS: 0  RI: 0  CD: 0  DDSR: 0  DCTS: 0  DRI: 0  DCD: 0  ",
    };
    EXPECT_EQ(lines, expected);
}

// The far end goes away in the middle of a long read: the call must come
// back with a code, quickly and without burning the processor, and every
// later call must fail fast instead of waiting out its time-out.
TEST_F(PtyLinkTest, FarEndHangupEndsWaitingCallsWithACode)
{
    auto link = std::make_unique<CommLink>(&port);
    std::thread farEnd([this] {
        std::this_thread::sleep_for(Millis(100));
        pty.send("ab");
        std::this_thread::sleep_for(Millis(100));
        pty.closeMaster();
    });
    char buffer[101];
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuMs();
    const int r = link->readString(buffer, 100, -1, 5000);
    const long wall = elapsedMs(start);
    farEnd.join();
    EXPECT_EQ(r, COMM_DEVICE_FAULT);
    EXPECT_LT(wall, 2000);
    EXPECT_LT(threadCpuMs() - cpuStart, 0.5 * static_cast<double>(wall));

    const auto later = std::chrono::steady_clock::now();
    EXPECT_EQ(link->readChar(3000), COMM_DEVICE_FAULT);
    EXPECT_EQ(link->readString(buffer, 10, '\n', 3000), COMM_DEVICE_FAULT);
    EXPECT_EQ(link->writeLine("reboot", TERM_LF), 0);
    EXPECT_EQ(port.lastError, COMM_OUTPUT_INCOMPLETE);
    EXPECT_LT(elapsedMs(later), 500);

    // A pause on the dead device still lasts its time, asleep.
    const auto pause = std::chrono::steady_clock::now();
    const double pauseCpu = threadCpuMs();
    EXPECT_EQ(link->wait(300), COMM_DEVICE_FAULT);
    EXPECT_GE(elapsedMs(pause), 299);
    EXPECT_LT(threadCpuMs() - pauseCpu, 30.0);
    const auto release = std::chrono::steady_clock::now();
    link.reset();  // restoring settings on a dead device must not hang
    EXPECT_LT(elapsedMs(release), 500);
}

// A silent wait sleeps through its whole time-out instead of waking every
// millisecond, and still ends on time.
TEST_F(PtyLinkTest, SilentReadCharSleepsForItsTimeoutAndEndsOnTime)
{
    CommLink link(&port);
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuMs();
    EXPECT_EQ(link.readChar(2000), COMM_NO_CHARACTER);
    const long wall = elapsedMs(start);
    EXPECT_GE(wall, 1999);
    EXPECT_LE(wall, 2005);
    EXPECT_LT(threadCpuMs() - cpuStart, 10.0);  // 0.5 % of the wait
}

TEST_F(PtyLinkTest, ByteArrivingDuringALongWaitIsReturnedAtOnce)
{
    CommLink link(&port);
    std::atomic<std::int64_t> sentUs{0};
    std::thread farEnd([&] {
        std::this_thread::sleep_for(Millis(500));
        sentUs = std::chrono::duration_cast<std::chrono::microseconds>(
                     std::chrono::steady_clock::now().time_since_epoch()).count();
        pty.send("A");
    });
    const int ch = link.readChar(2000);
    const std::int64_t gotUs = std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch()).count();
    farEnd.join();
    EXPECT_EQ(ch, 'A');
    EXPECT_LT(gotUs - sentUs.load(), 5000);
}

} // namespace

// PosixCommPort on real pseudo-terminals: opening, refusing, raw I/O,
// settings, flow control, purging.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

#include "testkit/Pty.h"
#include "comlink/PortFactory.h"
#include "comlink/PosixCommPort.h"

using namespace testkit;

namespace {

class PtyPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        if (const char* old = std::getenv("UNITFLASH_PORTS"))
            savedPorts = old, hadPorts = true;
    }
    void TearDown() override
    {
        if (hadPorts)
            setenv("UNITFLASH_PORTS", savedPorts.c_str(), 1);
        else
            unsetenv("UNITFLASH_PORTS");
    }
    termios attributes(const PosixCommPort& port)
    {
        termios t{};
        tcgetattr(port.fileDescriptor(), &t);
        return t;
    }

    speed_t speed(const PosixCommPort& port)
    {
        const termios t = attributes(port);
        return cfgetospeed(&t);
    }

    Pty pty;
    std::string savedPorts;
    bool hadPorts = false;
};

std::string allByteValues()
{
    std::string s;
    for (int i = 0; i < 256; ++i)
        s.push_back(static_cast<char>(i));
    return s;
}

TEST_F(PtyPortTest, OpensRawAt19200WithoutFlowControlAndPassesEveryByte)
{
    PosixCommPort port(pty.path, 4096, 2048);
    ASSERT_EQ(port.lastError, 0);
    const termios t = attributes(port);
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(port.signal(SIG_DTR, -1), 1);
    EXPECT_EQ(port.signal(SIG_RTS, -1), 1);

    // Control characters, XON/XOFF, CR/LF and 0xFF travel untouched both ways.
    const std::string bytes = allByteValues();
    pty.send(bytes);
    ASSERT_TRUE(waitForInput(port.fileDescriptor(), 256));
    std::string got(256, '\0');
    EXPECT_EQ(port.read(reinterpret_cast<std::uint8_t*>(got.data()), 300), 256);
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(port.writeString("") , 0);
    EXPECT_EQ(port.write(reinterpret_cast<const std::uint8_t*>(bytes.data()), 256), 256);
    EXPECT_EQ(pty.receive(), bytes);
    EXPECT_EQ(port.readChar(), COMM_NO_CHARACTER);
    EXPECT_EQ(port.lastError, 0);
}

TEST_F(PtyPortTest, RefusesWhatIsNotATerminalDevice)
{
    char file[] = "/tmp/comlink-regular-XXXXXX";
    const int f = mkstemp(file);
    ASSERT_GE(f, 0);
    ::close(f);
    struct Case {
        std::string path;
        int code;
    } cases[] = {{"/nonexistent/ttyUSB9", COMM_GENERAL_FAILURE},
                 {file, COMM_DEVICE_FAULT},
                 {"/tmp", COMM_DEVICE_FAULT},
                 {"/dev/null", COMM_DEVICE_FAULT}};
    for (const Case& c : cases) {
        PosixCommPort port(c.path, 4096, 2048);
        EXPECT_EQ(port.lastError, c.code) << c.path;
        EXPECT_EQ(port.fileDescriptor(), -1) << c.path;
        // A refused port is inert: nothing to read, nothing taken, and a
        // waiting loop on it ends at once.
        std::uint8_t b = 'x';
        EXPECT_EQ(port.readChar(), COMM_NO_CHARACTER);
        EXPECT_EQ(port.write(&b, 1), 0);
        EXPECT_EQ(port.idle(), COMM_DEVICE_FAULT);
    }
    struct stat st{};
    ASSERT_EQ(stat(file, &st), 0);
    EXPECT_EQ(st.st_size, 0);  // nothing was written into the regular file
    std::remove(file);

    setenv("UNITFLASH_PORTS", pty.path.c_str(), 1);
    for (int index : {-1, 16, 1000}) {
        PosixCommPort port(index, 4096, 2048);
        EXPECT_EQ(port.lastError, COMM_DEVICE_FAULT) << index;
    }
    PosixCommPort noSuchPort(3, 4096, 2048);  // the list has one entry
    EXPECT_EQ(noSuchPort.lastError, COMM_GENERAL_FAILURE);
    EXPECT_EQ(*portUseCount(3), 0);
    EXPECT_EQ(openCommPort("Comm 1", 4096, 2048)->lastError, 0);
    EXPECT_EQ(openCommPort(pty.path, 4096, 2048)->lastError, 0);
}

TEST_F(PtyPortTest, SecondOpenIsRefusedAndTheLastHolderClosesTheDevice)
{
    setenv("UNITFLASH_PORTS", pty.path.c_str(), 1);
    auto first = std::make_unique<PosixCommPort>(0, 4096, 2048);
    ASSERT_EQ(first->lastError, 0);
    EXPECT_EQ(*portUseCount(0), 1);
    {
        PosixCommPort byIndex(0, 4096, 2048);
        PosixCommPort byPath(pty.path, 4096, 2048);
        EXPECT_EQ(byIndex.lastError, COMM_PORT_IN_USE);
        EXPECT_EQ(byPath.lastError, COMM_PORT_IN_USE);
        EXPECT_EQ(*portUseCount(0), 1);
    }
    // The refused objects are gone; the holder's device is still open and
    // its line state untouched.
    EXPECT_EQ(*portUseCount(0), 1);
    EXPECT_FALSE(pty.slaveClosed());
    EXPECT_EQ(attributes(*first).c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(first->writeString("still here"), 10);
    EXPECT_EQ(pty.receive(), "still here");
    pty.send("ok");
    ASSERT_TRUE(waitForInput(first->fileDescriptor(), 2));
    EXPECT_EQ(first->readChar(), 'o');

    first.reset();
    EXPECT_EQ(*portUseCount(0), 0);
    EXPECT_TRUE(pty.slaveClosed());
    PosixCommPort again(0, 4096, 2048);
    EXPECT_EQ(again.lastError, 0);
}

// close() times its wait for queued output on the port's clock, not the
// system's. (A pty never reports output queued, so the wait itself ends at
// once; what is checked is which clock was read.)
TEST_F(PtyPortTest, CloseTimesItsDrainOnTheInjectedClock)
{
    struct CountingClock : Clock {
        std::uint32_t tickMs() override { return static_cast<std::uint32_t>(++readings); }
        int readings = 0;
    } clock;
    PosixCommPort port(pty.path, 4096, 2048);
    ASSERT_EQ(port.lastError, 0);
    port.useClock(clock);
    EXPECT_EQ(port.writeString("last ACK"), 8);
    EXPECT_EQ(port.close(), 0);
    EXPECT_GE(clock.readings, 1);
    EXPECT_EQ(pty.receive(), "last ACK");
}

// The last command before the port is put back must not go out at the
// restored rate: a change of settings first waits for the bytes written to
// have had their time on the line. (A pty reports nothing queued, so here
// the port's own account of the line time is what holds the change.)
TEST_F(PtyPortTest, ARateChangeLetsTheBytesWrittenBeforeItLeaveFirst)
{
    PosixCommPort port(pty.path, 4096, 2048);
    ASSERT_EQ(port.lastError, 0);
    ASSERT_EQ(port.setLineSettings(1200, 'N', 8, 1), 0);
    EXPECT_EQ(port.writeString("reboot\n"), 7);  // 70 bits at 1200 baud: 59 ms
    const double start = nowSeconds();
    EXPECT_EQ(port.setLineSettings(19200, 'N', 8, 1), 0);
    EXPECT_GE(nowSeconds() - start, 0.055);
    EXPECT_EQ(speed(port), B19200);
    EXPECT_EQ(pty.receive(), "reboot\n");

    // A far end that never reads (or a line held by its handshake) holds
    // the change no longer than the queue's time and the margin, not for
    // the 17 s these bytes would need.
    ASSERT_EQ(port.setLineSettings(1200, 'N', 8, 1), 0);
    const std::string stuck(2048, 'x');
    EXPECT_EQ(port.write(reinterpret_cast<const std::uint8_t*>(stuck.data()), 2048), 2048);
    const double stuckStart = nowSeconds();
    EXPECT_EQ(port.setLineSettings(19200, 'N', 8, 1), 0);
    EXPECT_LT(nowSeconds() - stuckStart, 1.5);
    EXPECT_EQ(speed(port), B19200);
}

TEST_F(PtyPortTest, WriteTakesWhatFitsAndEveryTakenByteArrives)
{
    PosixCommPort port(pty.path, 4096, 16384);
    ASSERT_EQ(port.lastError, 0);
    std::string data(40000, '\0');
    std::mt19937 random(7);
    for (char& c : data)
        c = static_cast<char>(random());
    const int taken = port.write(reinterpret_cast<const std::uint8_t*>(data.data()), 40000);
    EXPECT_GT(taken, 0);
    EXPECT_LE(taken, 16384);
    EXPECT_EQ(port.lastError, COMM_OUTPUT_INCOMPLETE);
    const std::string got = pty.receive(100);
    EXPECT_EQ(got.size(), static_cast<std::size_t>(taken));
    EXPECT_TRUE(got == data.substr(0, got.size()));
}

TEST_F(PtyPortTest, LineSettingsCheckInOrderAndKeepWhatPassed)
{
    PosixCommPort port(pty.path, 4096, 2048);
    ASSERT_EQ(port.lastError, 0);
    EXPECT_EQ(port.setLineSettings(9600, 'X', 8, 1), COMM_BAD_PARITY);
    EXPECT_EQ(port.setLineSettings(9600, 'N', 8, 3), COMM_BAD_STOP_BITS);
    EXPECT_EQ(port.setLineSettings(9600, 'E', 9, 1), COMM_BAD_DATA_BITS);
    EXPECT_EQ(port.lastError, COMM_BAD_DATA_BITS);
    // Parity and rate passed their checks and are kept, but the device has
    // not changed yet.
    int baud = 0, data = 0, stop = 0;
    char parity = 0;
    port.getLineSettings(baud, parity, data, stop);
    EXPECT_EQ(baud, 9600);
    EXPECT_EQ(parity, 'E');
    EXPECT_EQ(data, 8);
    EXPECT_EQ(speed(port), B19200);
    // The next successful write of the settings takes them along.
    EXPECT_EQ(port.setFlowControl(0, 0), 0);
    EXPECT_EQ(speed(port), B9600);

    // (A pseudo-terminal always reports 8 bits without parity, so the
    // framing is read back from the kept settings.)
    EXPECT_EQ(port.setLineSettings(57600, 'O', 7, 2), 0);
    EXPECT_EQ(speed(port), B57600);
    EXPECT_NE(attributes(port).c_cflag & CSTOPB, 0u);
    port.getLineSettings(baud, parity, data, stop);
    EXPECT_EQ(baud, 57600);
    EXPECT_EQ(parity, 'O');
    EXPECT_EQ(data, 7);
    EXPECT_EQ(stop, 2);
    // Five data bits always mean one and a half stop bits.
    EXPECT_EQ(port.setLineSettings(1200, 'N', 5, 2), 0);
    port.getLineSettings(baud, parity, data, stop);
    EXPECT_EQ(stop, 1);
    EXPECT_EQ(port.dcb.stopBits, STOP_BITS_ONE5);
    // A rate the driver has no speed for is refused, and the device keeps
    // running at the last good one.
    EXPECT_EQ(port.setLineSettings(12345, 'N', 8, 1), COMM_BAUD_REFUSED);
    EXPECT_EQ(speed(port), B1200);
    EXPECT_EQ(port.setLineSettings(38400, 'N', 8, 1), 0);
    EXPECT_EQ(speed(port), B38400);
}

TEST_F(PtyPortTest, FlowControlKindsAndTheirCodes)
{
    PosixCommPort port(pty.path, 4096, 2048);
    ASSERT_EQ(port.lastError, 0);
    EXPECT_EQ(port.setFlowControl(1, 1), 0);
    EXPECT_EQ(attributes(port).c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    int in = 0, out = 0;
    port.getFlowControl(in, out);
    EXPECT_EQ(in, 1);
    EXPECT_EQ(out, 1);

    EXPECT_EQ(port.setFlowControl(2, 0), COMM_GENERAL_FAILURE);
    EXPECT_EQ(port.lastError, COMM_BAD_INPUT_FLOW);
    EXPECT_EQ(port.setFlowControl(0, 15), COMM_NOT_SUPPORTED);
    EXPECT_EQ(port.setFlowControl(0, 99), COMM_BAD_OUTPUT_FLOW);
    EXPECT_EQ(port.setFlowControl(13, 0), COMM_NOT_SUPPORTED);
    // Refused requests leave the kinds last applied.
    port.getFlowControl(in, out);
    EXPECT_EQ(in, 1);
    EXPECT_EQ(out, 1);

    EXPECT_EQ(port.setFlowControl(4, 12), 0);
    const termios t = attributes(port);
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(port.setFlowControl(0, 0), 0);
    EXPECT_EQ(attributes(port).c_cflag & CRTSCTS, 0u);
}

TEST_F(PtyPortTest, PurgeDrainsAQuietLineAndGivesUpOnATalkingOne)
{
    PosixCommPort port(pty.path, 4096, 2048);
    ASSERT_EQ(port.lastError, 0);
    pty.send("0123456789");
    ASSERT_TRUE(waitForInput(port.fileDescriptor(), 10));
    EXPECT_EQ(port.purge(0, 3), COMM_GENERAL_FAILURE);
    EXPECT_EQ(port.readChar(), '3');  // exactly three were consumed
    EXPECT_EQ(port.purge(0, 20), 0);
    EXPECT_EQ(port.readChar(), COMM_NO_CHARACTER);

    pty.send("abc");
    ASSERT_TRUE(waitForInput(port.fileDescriptor(), 3));
    QueueStatus q;
    port.queueStatus(q, 1);
    EXPECT_EQ(q.rxCount, 3);
    EXPECT_EQ(q.rxSize, 4096);
    EXPECT_EQ(q.txSize, 2048);
    EXPECT_EQ(port.purge(0, 0), 0);
    port.queueStatus(q, 1);
    EXPECT_EQ(q.rxCount, 0);
}

TEST_F(PtyPortTest, BreakAndModemLinesOnAPtyAreRememberedNotFailed)
{
    PosixCommPort port(pty.path, 4096, 2048);
    ASSERT_EQ(port.lastError, 0);
    EXPECT_EQ(port.breakControl(1), 1);
    EXPECT_EQ(port.breakControl(-1), 1);
    EXPECT_EQ(port.breakControl(0), 0);
    EXPECT_EQ(port.signal(SIG_DTR, 0), 0);
    EXPECT_EQ(port.signal(SIG_RTS, 5), 1);
    EXPECT_EQ(port.signal(SIG_CTS, -1), 0);
    EXPECT_EQ(port.signal(99, -1), 2);
    PackedLineStatus status;
    EXPECT_EQ(port.lineStatus(status), 0);
    EXPECT_EQ(status[0], 0x04);  // DTR low, RTS high, no break
    EXPECT_EQ(port.lastError, 0);
}

} // namespace

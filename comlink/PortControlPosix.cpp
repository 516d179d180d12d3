// The serial port over a POSIX terminal device: line settings, flow
// control, modem lines, break, line status and the settings dump.
#include "comlink/PosixCommPort.h"

#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "comlink/PortCommon.h"

#if __has_include(<linux/serial.h>)
#include <linux/serial.h>
#endif

namespace {

struct SpeedEntry {
    unsigned baud;
    speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000},
};

bool speedFor(unsigned baud, speed_t& speed)
{
    for (const auto& e : kSpeeds) {
        if (e.baud == baud) {
            speed = e.speed;
            return true;
        }
    }
    return false;
}

} // namespace

int PosixCommPort::applyControl()
{
    termios t{};
    if (fd < 0 || tcgetattr(fd, &t) != 0) {
        savedErrno = fd < 0 ? EBADF : errno;
        return lastSystemError();
    }
    cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR);
    t.c_cflag |= CLOCAL | CREAD;
    switch (dcb.byteSize) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    case 8: t.c_cflag |= CS8; break;
    default: return COMM_BAD_DATA_BITS;  // termios has no 4-bit characters
    }
    switch (dcb.parity) {
    case 0: break;
    case 1: t.c_cflag |= PARENB | PARODD; break;
    case 2: t.c_cflag |= PARENB; break;
    case 3: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case 4: t.c_cflag |= PARENB | CMSPAR; break;
    default: return COMM_BAD_PARITY;
    }
    // With 5 data bits CSTOPB gives 1.5 stop bits, as the UART defines it.
    if (dcb.stopBits != STOP_BITS_ONE)
        t.c_cflag |= CSTOPB;
    if (dcb.parityCheck && dcb.parity != 0)
        t.c_iflag |= INPCK;
    // termios has one RTS/CTS handshake for both directions.
    if (dcb.outxCtsFlow || dcb.rtsControl == LINE_CONTROL_HANDSHAKE)
        t.c_cflag |= CRTSCTS;
    if (dcb.outX)
        t.c_iflag |= IXON;
    if (dcb.inX)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.xoffChar);
    // VMIN 1 with O_NONBLOCK: an empty queue reads as EAGAIN, so a read of 0
    // bytes can only mean the device hung up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    speed_t speed;
    if (!speedFor(dcb.baudRate, speed))
        return COMM_BAUD_REFUSED;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        savedErrno = errno;
        return errno == EINVAL ? COMM_BAUD_REFUSED : lastSystemError();
    }
    // tcsetattr succeeds when any part of the change was taken: check the
    // rate, which a driver may quietly refuse. Character framing is not
    // checked: a pseudo-terminal always reports 8 bits without parity.
    termios now{};
    if (tcgetattr(fd, &now) == 0 && cfgetospeed(&now) != speed)
        return COMM_BAUD_REFUSED;
    return 0;
}

int PosixCommPort::setLineSettings(int baud, char parity, int dataBits, int stopBits)
{
    // Bytes still on their way would go out at the new settings, garbled.
    if (fd >= 0 && !deviceLost)
        awaitOutputSent();
    const int code = parityCode(parity);
    if (code < 0)
        return lastError = COMM_BAD_PARITY;
    dcb.parity = code;
    dcb.baudRate = static_cast<unsigned>(baud);
    if (dataBits < 4 || dataBits > 8)
        return lastError = COMM_BAD_DATA_BITS;
    dcb.byteSize = dataBits;
    if (stopBits < 1 || stopBits > 2)
        return lastError = COMM_BAD_STOP_BITS;
    dcb.stopBits = dataBits == 5 ? STOP_BITS_ONE5 : stopBits == 1 ? STOP_BITS_ONE : STOP_BITS_TWO;
    const int r = applyControl();
    if (r != 0)
        lastError = r;
    return r;
}

int PosixCommPort::getLineSettings(int& baud, char& parity, int& dataBits, int& stopBits)
{
    baud = static_cast<int>(dcb.baudRate);
    parity = parityChar(dcb.parity);
    dataBits = dcb.byteSize;
    stopBits = dcb.stopBits == STOP_BITS_TWO ? 2 : 1;
    return 0;
}

void PosixCommPort::writeFlowPlan(const FlowPlan& plan)
{
    dcb.inX = plan.inX;
    dcb.outX = plan.outX;
    // termios has one RTS/CTS handshake for both directions (applyControl).
    if (plan.rtsHandshake)
        dcb.rtsControl = LINE_CONTROL_HANDSHAKE;
    else if (dcb.rtsControl == LINE_CONTROL_HANDSHAKE)
        dcb.rtsControl = LINE_CONTROL_ENABLE;
    if (plan.dtrHandshake)
        dcb.dtrControl = LINE_CONTROL_HANDSHAKE;
    else if (dcb.dtrControl == LINE_CONTROL_HANDSHAKE)
        dcb.dtrControl = LINE_CONTROL_ENABLE;
    dcb.outxCtsFlow = plan.ctsOutput;
    dcb.outxDsrFlow = plan.dsrOutput;
}

bool PosixCommPort::setBreakLine(bool on)
{
    return fd >= 0 && ioctl(fd, on ? TIOCSBRK : TIOCCBRK) == 0;
}

void PosixCommPort::setModemLine(int bit, bool on)
{
    // A pseudo-terminal has no modem lines; the level is still remembered.
    if (fd >= 0)
        ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit);
}

void PosixCommPort::setOutputLine(int id, bool on)
{
    const int control = on ? LINE_CONTROL_ENABLE : LINE_CONTROL_DISABLE;
    if (id == SIG_DTR) {
        dcb.dtrControl = control;
        setModemLine(TIOCM_DTR, on);
    } else {
        dcb.rtsControl = control;
        setModemLine(TIOCM_RTS, on);
    }
}

int PosixCommPort::readModemInput(int mask)
{
    int bits = 0;
    if (fd < 0 || ioctl(fd, TIOCMGET, &bits) != 0)
        return 0;
    int status = 0;
    if (bits & TIOCM_CTS) status |= MODEM_CTS_ON;
    if (bits & TIOCM_DSR) status |= MODEM_DSR_ON;
    if (bits & TIOCM_RNG) status |= MODEM_RING_ON;
    if (bits & TIOCM_CAR) status |= MODEM_RLSD_ON;
    return (status & mask) ? 1 : 0;
}

int PosixCommPort::refreshModemStatus()
{
    readDeviceErrors();
    modemStatus = 0;
    for (const int bit : {MODEM_CTS_ON, MODEM_DSR_ON, MODEM_RING_ON, MODEM_RLSD_ON}) {
        if (readModemInput(bit))
            modemStatus |= bit;
    }
    return 0;
}

void PosixCommPort::readDeviceErrors()
{
#if defined(TIOCGICOUNT)
    // The driver counts line errors; a counter that moved since the last
    // look latches its error. Devices without counters (a pty) latch none.
    serial_icounter_struct counts{};
    if (fd < 0 || ioctl(fd, TIOCGICOUNT, &counts) != 0)
        return;
    const std::uint32_t now[5] = {
        static_cast<std::uint32_t>(counts.buf_overrun), static_cast<std::uint32_t>(counts.overrun),
        static_cast<std::uint32_t>(counts.parity), static_cast<std::uint32_t>(counts.frame),
        static_cast<std::uint32_t>(counts.brk)};
    const std::uint32_t bits[5] = {LINE_ERR_RX_OVERFLOW, LINE_ERR_OVERRUN, LINE_ERR_PARITY,
                                   LINE_ERR_FRAMING, LINE_ERR_BREAK};
    for (int i = 0; i < 5; ++i) {
        if (now[i] != lastCounts[i])
            errorLatch |= bits[i];
        lastCounts[i] = now[i];
    }
#endif
}

int PosixCommPort::setQueueSizes(int rxSize, int xoffLimit, int txSize)
{
    purge(0, 0);
    purge(1, 0);
    if (rxSize != 0)
        rxQueueSize = static_cast<std::uint16_t>(rxSize & 0xFFFF);
    if (txSize != 0)
        txQueueSize = static_cast<std::uint16_t>(txSize & 0xFFFF);
    dcb.xonLimit = static_cast<unsigned>(rxSize / 4);
    if (xoffLimit != 0)
        dcb.xoffLimit = static_cast<unsigned>(xoffLimit);
    purge(0, 0);
    purge(1, 0);
    const int r = applyControl();
    if (r != 0)
        return lastError = r;
    return 0;
}

int PosixCommPort::setEventChar(int ch)
{
    dcb.evtChar = static_cast<unsigned>(ch) & 0xFF;
    return 1;
}

int PosixCommPort::dumpSettings(const LineSink& sink)
{
    QueueStatus q;
    queueStatus(q, 7);
    dumpDeviceControl("POSIX termios", dcb, q, sink);
    return 0;
}

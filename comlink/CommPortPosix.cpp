// The serial port over a POSIX terminal device: opening, closing, I/O and
// the queues.
#include "comlink/PosixCommPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "comlink/PortCommon.h"
#include "comlink/PortNames.h"

namespace {

// How long close() lets queued output leave before it purges.
constexpr std::uint32_t kCloseDrainMs = 1000;

} // namespace

PosixCommPort::PosixCommPort(int portIndex_, int rxQueueSize_, int txQueueSize_, int noOpen)
{
    portIndex = portIndex_;
    init(rxQueueSize_, txQueueSize_);
    if (noOpen)
        return;
    configure();
    if (fd >= 0) {
        signal(SIG_DTR, 1);
        signal(SIG_RTS, 1);
    }
}

PosixCommPort::PosixCommPort(const std::string& devicePath, int rxQueueSize_, int txQueueSize_)
    : path(devicePath), usesTable(false)
{
    portIndex = -1;
    init(rxQueueSize_, txQueueSize_);
    configure();
    if (fd >= 0) {
        signal(SIG_DTR, 1);
        signal(SIG_RTS, 1);
    }
}

void PosixCommPort::init(int rxSize, int txSize)
{
    txQueueSize = static_cast<std::uint16_t>(txSize & 0xFFFF);
    rxQueueSize = static_cast<std::uint16_t>(rxSize & 0xFFFF);
    lastError = 0;
    inputFlow = outputFlow = 0;
    dtrOn = rtsOn = 1;
    breakState = 0;
}

PosixCommPort::~PosixCommPort()
{
    // Only the object that opened the device closes it: a second object that
    // was refused must not close the first one's device.
    if (fd >= 0)
        close();
    if (counted) {
        std::uint16_t* entry = portUseCount(portIndex);
        if (entry && *entry > 0)
            --*entry;
    }
}

int PosixCommPort::configure()
{
    std::uint16_t* entry = nullptr;
    if (usesTable) {
        entry = portUseCount(portIndex);
        if (!entry)
            return lastError = COMM_DEVICE_FAULT;
        if (*entry != 0)
            return lastError = COMM_PORT_IN_USE;
        path = portDevicePath(portIndex);
    }
    if (open() != 0)
        return lastError;
    if (entry) {
        ++*entry;
        counted = true;
    }

    // Raw 19200 8N1 with no flow control in either direction: bytes pass
    // untouched, and nothing holds the line back until a caller asks for it.
    dcb = DeviceControl{};
    dcb.baudRate = 19200;
    dcb.byteSize = 8;
    dcb.parity = 0;
    dcb.stopBits = STOP_BITS_ONE;
    dcb.binary = 1;
    dcb.dtrControl = LINE_CONTROL_ENABLE;
    dcb.rtsControl = LINE_CONTROL_DISABLE;
    dcb.xonChar = 0x11;
    dcb.xoffChar = 0x13;
    dcb.xonLimit = rxQueueSize / 4u;
    dcb.xoffLimit = 128;
    const int r = applyControl();
    if (r != 0)
        lastError = r;
    return r;
}

int PosixCommPort::open()
{
    if (path.empty())
        return lastError = COMM_GENERAL_FAILURE;
    const int f = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (f < 0) {
        savedErrno = errno;
        return lastError = lastSystemError();
    }
    if (!isatty(f)) {
        savedErrno = ENOTTY;
        ::close(f);
        return lastError = COMM_DEVICE_FAULT;
    }
    // The advisory lock keeps out a second holder in this process or any
    // cooperating one (root ignores TIOCEXCL); TIOCEXCL keeps out the rest.
    if (flock(f, LOCK_EX | LOCK_NB) != 0) {
        savedErrno = errno;
        ::close(f);
        return lastError = COMM_PORT_IN_USE;
    }
    ioctl(f, TIOCEXCL);
    fd = f;
    deviceLost = false;
    inputUnread = false;
    readDeviceErrors();
    errorLatch = 0;
    return 0;
}

int PosixCommPort::close()
{
    if (fd < 0)
        return 0;
    // A pseudo-terminal keeps written bytes until the far end reads them, and
    // a UART needs time to clock them out: purging at once could swallow the
    // last acknowledgement of a transfer.
    const std::uint32_t end = portClock->tickMs() + kCloseDrainMs;
    while (!deviceLost && outputQueued() > 0 && tickBefore(portClock->tickMs(), end))
        ::poll(nullptr, 0, 2);
    purge(0, 0);
    if (outputQueued() > 0)
        purge(1, 0);
    setModemLine(TIOCM_DTR, false);
    setModemLine(TIOCM_RTS, false);
    ioctl(fd, TIOCNXCL);
    const int r = ::close(fd);
    fd = -1;
    if (r != 0)
        return lastError = COMM_CLOSE_FAILED;
    return 0;
}

int PosixCommPort::idle()
{
    return idleFor(1);
}

int PosixCommPort::idleFor(int maxWaitMs)
{
    if (fd < 0 || deviceLost)
        return lastError = COMM_DEVICE_FAULT;
    int waitMs = std::max(1, maxWaitMs);
    if (idleCapMs > 0)
        waitMs = std::min(waitMs, idleCapMs);
    // poll() has no event for "output has left": sleep no longer than the
    // queue takes to go out, so a loop waiting for the drain sees it in time.
    if (const int queued = outputQueued(); queued > 0)
        waitMs = std::min(waitMs, lineMsFor(queued));
    // Input that idle already reported and nobody has read since would make
    // poll() return at once: then only sleep, so a loop that waits without
    // reading (a pause) does not spin.
    const bool pending = inputUnread;
    pollfd p{fd, static_cast<short>(pending ? 0 : POLLIN), 0};
    if (::poll(&p, 1, waitMs) <= 0)
        return 0;
    if (p.revents & POLLNVAL) {
        deviceLost = true;
        return lastError = COMM_DEVICE_FAULT;
    }
    if (p.revents & (POLLHUP | POLLERR)) {
        // Let the caller collect what arrived before the hang-up.
        int waiting = 0;
        if (ioctl(fd, FIONREAD, &waiting) == 0 && waiting > 0) {
            if (pending)
                ::poll(nullptr, 0, waitMs);
            inputUnread = true;
            return 0;
        }
        deviceLost = true;
        return lastError = COMM_DEVICE_FAULT;
    }
    if (p.revents & POLLIN)
        inputUnread = true;
    return 0;
}

int PosixCommPort::outputQueued()
{
    int queued = 0;
    if (fd < 0 || ioctl(fd, TIOCOUTQ, &queued) != 0)
        return 0;
    return queued;
}

int PosixCommPort::queueStatus(QueueStatus& out, int)
{
    readDeviceErrors();
    int waiting = 0;
    if (fd < 0 || ioctl(fd, FIONREAD, &waiting) != 0)
        waiting = 0;
    out.rxValid = 1;
    out.rxCount = waiting;
    out.rxSize = rxQueueSize;
    out.txValid = 1;
    out.txCount = outputQueued();
    out.txSize = txQueueSize;
    out.blockFlags = 0;  // termios does not report XOFF or handshake holds
    return 0;
}

int PosixCommPort::write(const std::uint8_t* bytes, unsigned len)
{
    unsigned written = 0;
    if (fd >= 0 && !deviceLost && bytes) {
        const unsigned queued = static_cast<unsigned>(outputQueued());
        const unsigned room = txQueueSize > queued ? txQueueSize - queued : 0;
        const unsigned n = len < room ? len : room;
        if (n > 0) {
            ssize_t r;
            do
                r = ::write(fd, bytes, n);
            while (r < 0 && errno == EINTR);
            if (r > 0) {
                written = static_cast<unsigned>(r);
                noteWritten(r);
            } else if (r < 0 && errno != EAGAIN) {
                savedErrno = errno;
                if (errno == EIO)
                    deviceLost = true;
            }
        }
    }
    if (written < len)
        lastError = COMM_OUTPUT_INCOMPLETE;
    return static_cast<int>(written);
}

int PosixCommPort::sendPriorityChar(int ch)
{
    const std::uint8_t byte = static_cast<std::uint8_t>(ch);
    if (fd >= 0 && ::write(fd, &byte, 1) == 1) {
        noteWritten(1);
        return 0;
    }
    return lastError = COMM_GENERAL_FAILURE;
}

int PosixCommPort::read(std::uint8_t* bytes, unsigned len)
{
    if (fd < 0 || !bytes || len == 0)
        return 0;
    ssize_t r;
    do
        r = ::read(fd, bytes, len);
    while (r < 0 && errno == EINTR);
    inputUnread = false;
    if (r > 0)
        return static_cast<int>(r);
    // With O_NONBLOCK and VMIN 1 an empty queue is EAGAIN; end of file or
    // EIO means the device hung up.
    if (r == 0 || errno != EAGAIN) {
        savedErrno = r == 0 ? EIO : errno;
        deviceLost = true;
        lastError = COMM_DEVICE_FAULT;
    }
    return 0;
}

int PosixCommPort::readChar()
{
    std::uint8_t byte = 0;
    return read(&byte, 1) == 1 ? static_cast<int>(byte) : static_cast<int>(COMM_NO_CHARACTER);
}

int PosixCommPort::purge(int which, int count)
{
    if (which == 0 && count > 0)
        return drainInput(*this, count);
    if (which == 0)
        inputUnread = false;
    if (fd < 0 || tcflush(fd, which != 0 ? TCOFLUSH : TCIFLUSH) != 0)
        return lastError = COMM_GENERAL_FAILURE;
    return 0;
}

int PosixCommPort::lastSystemError()
{
    switch (savedErrno) {
    case EBUSY:
    case EWOULDBLOCK:
        return COMM_PORT_IN_USE;
    case ENOMEM:
        return COMM_OUT_OF_MEMORY;
    case ENOTTY:
    case EISDIR:
    case ENXIO:
    case ENODEV:
        return COMM_DEVICE_FAULT;
    default:
        return COMM_GENERAL_FAILURE;
    }
}

// The serial port over the Win32 communications API: construction, opening,
// closing, I/O and the queues.
#include "comlink/Win32CommPort.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "comlink/Clock.h"
#include "comlink/PortCommon.h"

namespace {

// How long close() lets queued output leave before it purges.
constexpr std::uint32_t kCloseDrainMs = 1000;
// The events that end an idle wait: a received byte, a line error, a break.
constexpr DWORD kIdleEvents = EV_RXCHAR | EV_ERR | EV_BREAK;
// The longest sleep between two looks at the queue of a driver without events.
constexpr DWORD kLongestPollMs = 100;
// The most the port takes from the driver's input queue at once.
constexpr DWORD kInboxBytes = 4096;

template <typename T>
T* allocateZeroed()
{
    T* p = new (std::nothrow) T;
    if (p)
        std::memset(p, 0, sizeof(T));
    return p;
}

} // namespace

Win32CommPort::Win32CommPort(int portIndex_, int rxQueueSize_, int txQueueSize_, int noOpen)
{
    portIndex = portIndex_;
    lastError = 0;
    if (noOpen)
        return;
    dcb = allocateZeroed<DCB>();
    readOverlapped = allocateZeroed<OVERLAPPED>();
    eventOverlapped = allocateZeroed<OVERLAPPED>();
    savedTimeouts = allocateZeroed<COMMTIMEOUTS>();
    writer.reset(new (std::nothrow) OverlappedWriter());
    if (!dcb || !readOverlapped || !eventOverlapped || !savedTimeouts || !writer) {
        freeRecords();
        lastError = COMM_OUT_OF_MEMORY;
        return;
    }
    // Each overlapped request waits on its own event: a read, the write in
    // flight and the idle wait may be outstanding on the handle together.
    readOverlapped->hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    eventOverlapped->hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    dcb->DCBlength = sizeof(DCB);
    txQueueSize = static_cast<std::uint16_t>(txQueueSize_ & 0xFFFF);
    rxQueueSize = static_cast<std::uint16_t>(rxQueueSize_ & 0xFFFF);
    inputFlow = outputFlow = 0;
    dtrOn = rtsOn = 1;
    breakState = 0;
    configure();
    if (handle != INVALID_HANDLE_VALUE) {
        signal(SIG_DTR, 1);
        signal(SIG_RTS, 1);
    }
}

void Win32CommPort::freeRecords()
{
    for (OVERLAPPED* ov : {readOverlapped, eventOverlapped})
        if (ov != nullptr && ov->hEvent != nullptr)
            CloseHandle(ov->hEvent);
    delete readOverlapped;
    delete eventOverlapped;
    delete savedTimeouts;
    delete dcb;
    writer.reset();
    readOverlapped = eventOverlapped = nullptr;
    savedTimeouts = nullptr;
    dcb = nullptr;
}

Win32CommPort::~Win32CommPort()
{
    // Only the object that opened the device closes it: a second object that
    // was refused (-838) holds no handle and must not close the first one's.
    if (counted && handle != INVALID_HANDLE_VALUE)
        close();
    freeRecords();
    if (counted) {
        std::uint16_t* entry = portUseCount(portIndex);
        if (entry && *entry > 0)
            --*entry;
    }
}

int Win32CommPort::configure()
{
    std::uint16_t* entry = portUseCount(portIndex);
    if (!entry)
        return lastError = COMM_DEVICE_FAULT;
    if (*entry != 0)
        return lastError = COMM_PORT_IN_USE;
    if (open() != 0)
        return lastError;
    ++*entry;
    counted = true;
    SetupComm(handle, rxQueueSize, txQueueSize);
    GetCommMask(handle, &savedEventMask);
    SetCommMask(handle, kIdleEvents);

    GetCommState(handle, dcb);
    dcb->BaudRate = 19200;
    dcb->ByteSize = 8;
    dcb->Parity = NOPARITY;
    dcb->StopBits = ONESTOPBIT;
    dcb->fOutxCtsFlow = 0;
    dcb->fOutxDsrFlow = 0;
    dcb->fDtrControl = DTR_CONTROL_ENABLE;
    dcb->fRtsControl = RTS_CONTROL_DISABLE;
    dcb->fBinary = 1;
    dcb->fNull = 0;
    dcb->EofChar = 0;
    dcb->EvtChar = 0;
    dcb->XonChar = 0x11;
    dcb->XoffChar = 0x13;
    dcb->XonLim = static_cast<WORD>(rxQueueSize / 4);
    dcb->XoffLim = 128;

    // Reads return at once with whatever is queued.
    GetCommTimeouts(handle, savedTimeouts);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    SetCommTimeouts(handle, &timeouts);

    if (!SetCommState(handle, dcb))
        return lastError = lastSystemError();
    return 0;
}

int Win32CommPort::open()
{
    char path[24];
    std::snprintf(path, sizeof path, "\\\\.\\COM%d", portIndex + 1);
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return lastError = lastSystemError();
    handle = h;
    deviceLost = false;
    inputUnread = false;
    return 0;
}

int Win32CommPort::close()
{
    // The driver may still hold written bytes, the last acknowledgement of a
    // receive among them: give them up to a second to leave, then purge
    // output only if some are still queued.
    Clock& clock = systemClock();
    const std::uint32_t end = clock.tickMs() + kCloseDrainMs;
    if (writer)
        writer->settle(handle, kCloseDrainMs);
    while (!deviceLost && outputQueued() > 0 && tickBefore(clock.tickMs(), end))
        Sleep(2);
    disarmEventWait();
    purge(0, 0);
    if (outputQueued() > 0)
        purge(1, 0);
    // The driver must be done with the write's buffer before the handle goes.
    if (writer)
        writer->abandon(handle);
    EscapeCommFunction(handle, CLRDTR);
    EscapeCommFunction(handle, CLRRTS);
    const BOOL ok = CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    if (!ok)
        return lastError = COMM_CLOSE_FAILED;
    return 0;
}

int Win32CommPort::idle()
{
    return idleFor(1);
}

int Win32CommPort::idleFor(int maxWaitMs)
{
    if (handle == INVALID_HANDLE_VALUE || deviceLost || eventOverlapped == nullptr)
        return lastError = COMM_DEVICE_FAULT;
    DWORD waitMs = static_cast<DWORD>(std::max(1, maxWaitMs));
    COMSTAT comstat{};
    if (!latchErrors(&comstat))
        return lastError = COMM_DEVICE_FAULT;
    // No event tells that output has left: sleep no longer than the queue
    // needs, so a loop waiting for the drain sees it in time.
    if (comstat.cbOutQue > 0)
        waitMs = std::min(waitMs, static_cast<DWORD>(lineMsFor(static_cast<long>(comstat.cbOutQue))));
    // Queued input ends the first wait at once; after that only new input
    // does, so a pause that does not read sleeps its time.
    const DWORD queuedIn = comstat.cbInQue + static_cast<DWORD>(buffered());
    if (queuedIn > 0 && !inputUnread) {
        inputUnread = true;
        return 0;
    }
    // Input waiting unread: a pause that does not read sleeps its time. (A
    // driver may signal received bytes for as long as any are queued, and
    // the armed wait would end at once, again and again.)
    if (inputUnread && queuedIn > 0) {
        Sleep(waitMs);
        return 0;
    }
    if (!eventsWork)
        return sleepPolling(waitMs);
    if (!eventWaitArmed) {
        eventsSeen = 0;
        if (WaitCommEvent(handle, &eventsSeen, eventOverlapped))
            return eventsSeen != 0 ? 0 : noEvents(waitMs);
        if (GetLastError() != ERROR_IO_PENDING) {
            if (!latchErrors())
                return lastError = COMM_DEVICE_FAULT;
            return noEvents(waitMs);
        }
        eventWaitArmed = true;
    }
    // A wait that runs out stays armed for the next call: one WaitCommEvent
    // at a time is all a handle allows.
    if (WaitForSingleObject(eventOverlapped->hEvent, waitMs) == WAIT_OBJECT_0) {
        DWORD unused = 0;
        GetOverlappedResult(handle, eventOverlapped, &unused, FALSE);
        eventWaitArmed = false;
        if (!latchErrors())
            return lastError = COMM_DEVICE_FAULT;
        // Only a mask change ends a real driver's wait without an event; a
        // driver that cannot watch the line (wine on a pseudo-terminal ends
        // every wait at once) is polled instead from now on.
        if (eventsSeen == 0)
            return noEvents(waitMs);
    }
    return 0;
}

int Win32CommPort::noEvents(DWORD waitMs)
{
    eventsWork = false;
    return sleepPolling(waitMs);
}

int Win32CommPort::sleepPolling(DWORD waitMs)
{
    // Without events, the queue is looked at between sleeps that grow with
    // the silence: an answer that follows a command or a block comes within
    // a few milliseconds, while a long silent wait wakes a few times a second.
    const std::uint32_t now = systemClock().tickMs();
    const std::uint32_t silentMs = tickBefore(lastActivity, now) ? now - lastActivity : 0;
    const DWORD slice = std::clamp<DWORD>(silentMs / 8, 1, kLongestPollMs);
    Sleep(std::min(waitMs, slice));
    COMSTAT comstat{};
    if (!latchErrors(&comstat))
        return lastError = COMM_DEVICE_FAULT;
    if (comstat.cbInQue > 0) {
        lastActivity = systemClock().tickMs();
        inputUnread = true;
    }
    return 0;
}

void Win32CommPort::disarmEventWait()
{
    if (!eventWaitArmed)
        return;
    // Changing the mask completes the armed wait; put the mask back after.
    DWORD mask = 0;
    GetCommMask(handle, &mask);
    SetCommMask(handle, 0);
    DWORD unused = 0;
    GetOverlappedResult(handle, eventOverlapped, &unused, TRUE);
    SetCommMask(handle, mask);
    eventWaitArmed = false;
}

bool Win32CommPort::latchErrors(COMSTAT* comstat)
{
    DWORD errors = 0;
    COMSTAT local{};
    if (!ClearCommError(handle, &errors, comstat ? comstat : &local)) {
        // The driver no longer knows the device: it went away.
        deviceLost = true;
        return false;
    }
    errorLatch |= errors;
    return true;
}

DWORD Win32CommPort::outputQueued()
{
    COMSTAT comstat{};
    if (!latchErrors(&comstat))
        return 0;
    return comstat.cbOutQue;
}

int Win32CommPort::queueStatus(QueueStatus& out, int)
{
    COMSTAT comstat{};
    latchErrors(&comstat);
    out.rxValid = 1;
    out.rxCount = static_cast<int>(comstat.cbInQue + buffered());
    out.rxSize = rxQueueSize;
    out.txValid = 1;
    out.txCount = static_cast<int>(comstat.cbOutQue);
    out.txSize = txQueueSize;
    out.blockFlags = (comstat.fXoffSent ? 1 : 0) |
                     ((comstat.fCtsHold || comstat.fDsrHold || comstat.fXoffHold) ? 2 : 0);
    return 0;
}

int Win32CommPort::write(const std::uint8_t* bytes, unsigned len)
{
    if (!writer || deviceLost || len == 0) {
        lastError = COMM_OUTPUT_INCOMPLETE;
        return 0;
    }
    // One write in flight: the next waits for it, as long as its bytes need
    // on the line and half a second more.
    const DWORD bound = static_cast<DWORD>(lineMsFor(static_cast<long>(writer->inFlight())) + 500);
    if (!writer->settle(handle, bound)) {
        lastError = COMM_OUTPUT_INCOMPLETE;
        return 0;
    }
    COMSTAT comstat{};
    latchErrors(&comstat);
    const unsigned room = txQueueSize > comstat.cbOutQue ? txQueueSize - static_cast<unsigned>(comstat.cbOutQue) : 0;
    const unsigned n = txQueueSize == 0 ? len : std::min(len, room);
    const DWORD written = n == 0 ? 0 : writer->start(handle, bytes, n);
    if (written == 0 && n != 0)
        latchErrors();
    noteWritten(static_cast<long>(written));
    // An answer is due once these bytes have left the line.
    lastActivity = systemClock().tickMs() + static_cast<std::uint32_t>(lineMsFor(static_cast<long>(written)));
    if (written < len)
        lastError = COMM_OUTPUT_INCOMPLETE;
    return static_cast<int>(written);
}

int Win32CommPort::sendPriorityChar(int ch)
{
    if (!TransmitCommChar(handle, static_cast<char>(ch)))
        return lastError = COMM_GENERAL_FAILURE;
    noteWritten(1);
    return 0;
}

int Win32CommPort::read(std::uint8_t* bytes, unsigned len)
{
    inputUnread = false;
    if (!bytes || len == 0)
        return 0;
    // Bytes are taken from the driver a queue at a time and handed out from
    // the port's own buffer: a read per byte would cost two driver calls per
    // byte, which under load is more than the line delivers.
    if (inboxAt == inbox.size()) {
        COMSTAT comstat{};
        if (deviceLost || !latchErrors(&comstat)) {
            lastError = COMM_DEVICE_FAULT;
            return 0;
        }
        if (comstat.cbInQue == 0)
            return 0;
        inbox.resize(std::min<DWORD>(comstat.cbInQue, kInboxBytes));
        inboxAt = 0;
        DWORD done = 0;
        if (!ReadFile(handle, inbox.data(), static_cast<DWORD>(inbox.size()), &done, readOverlapped)
            && GetLastError() != ERROR_IO_PENDING)
            latchErrors();
        if (done < inbox.size())
            GetOverlappedResult(handle, readOverlapped, &done, TRUE);
        inbox.resize(done);
        if (done > 0 && tickBefore(lastActivity, systemClock().tickMs()))
            lastActivity = systemClock().tickMs();
    }
    const std::size_t n = std::min<std::size_t>(len, inbox.size() - inboxAt);
    std::memcpy(bytes, inbox.data() + inboxAt, n);
    inboxAt += n;
    return static_cast<int>(n);
}

int Win32CommPort::readChar()
{
    std::uint8_t byte = 0;
    return read(&byte, 1) == 1 ? static_cast<int>(byte) : static_cast<int>(COMM_NO_CHARACTER);
}

int Win32CommPort::purge(int which, int count)
{
    if (which != 0) {
        PurgeComm(handle, PURGE_TXCLEAR);
        return 0;
    }
    if (count == 0) {
        inputUnread = false;
        inbox.clear();
        inboxAt = 0;
        PurgeComm(handle, PURGE_RXCLEAR);
        return 0;
    }
    return drainInput(*this, count);
}

int Win32CommPort::lastSystemError()
{
    // The driver's IE_ codes are negative; Win32 error numbers are positive
    // and all fall to the general failure.
    switch (static_cast<int>(GetLastError())) {
    case IE_BAUDRATE: return COMM_BAUD_REFUSED;
    case IE_BYTESIZE: return COMM_BAD_DATA_BITS;
    case IE_HARDWARE:
    case IE_NOPEN:
    case IE_BADID: return COMM_DEVICE_FAULT;
    case IE_DEFAULT: return COMM_BAD_OUTPUT_FLOW;
    case IE_MEMORY: return COMM_OUT_OF_MEMORY;
    case IE_OPEN: return COMM_PORT_IN_USE;
    default: return COMM_GENERAL_FAILURE;
    }
}

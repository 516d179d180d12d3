// The serial port over the Win32 communications API: construction, opening,
// closing, I/O and the queues.
#include "comlink/Win32CommPort.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "comlink/Clock.h"
#include "comlink/PortCommon.h"

namespace {

// How long close() lets queued output leave before it purges.
constexpr std::uint32_t kCloseDrainMs = 1000;

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
    writeOverlapped = allocateZeroed<OVERLAPPED>();
    savedTimeouts = allocateZeroed<COMMTIMEOUTS>();
    if (!dcb || !readOverlapped || !writeOverlapped || !savedTimeouts) {
        freeRecords();
        lastError = COMM_OUT_OF_MEMORY;
        return;
    }
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
    delete readOverlapped;
    delete writeOverlapped;
    delete savedTimeouts;
    delete dcb;
    readOverlapped = writeOverlapped = nullptr;
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
    SetCommMask(handle, 0);

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
    return 0;
}

int Win32CommPort::close()
{
    // The driver may still hold written bytes, the last acknowledgement of a
    // receive among them: give them up to a second to leave, then purge
    // output only if some are still queued.
    Clock& clock = systemClock();
    const std::uint32_t end = clock.tickMs() + kCloseDrainMs;
    while (outputQueued() > 0 && tickBefore(clock.tickMs(), end))
        Sleep(2);
    purge(0, 0);
    if (outputQueued() > 0)
        purge(1, 0);
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
    Sleep(0);
    return 0;
}

void Win32CommPort::latchErrors(COMSTAT* comstat)
{
    DWORD errors = 0;
    COMSTAT local{};
    ClearCommError(handle, &errors, comstat ? comstat : &local);
    errorLatch |= errors;
}

DWORD Win32CommPort::outputQueued()
{
    COMSTAT comstat{};
    latchErrors(&comstat);
    return comstat.cbOutQue;
}

int Win32CommPort::queueStatus(QueueStatus& out, int)
{
    COMSTAT comstat{};
    latchErrors(&comstat);
    out.rxValid = 1;
    out.rxCount = static_cast<int>(comstat.cbInQue);
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
    COMSTAT comstat{};
    latchErrors(&comstat);
    const unsigned room = txQueueSize - static_cast<unsigned>(comstat.cbOutQue);
    const unsigned n = len < room ? len : room;
    DWORD written = 0;
    if (!WriteFile(handle, bytes, n, &written, writeOverlapped)) {
        if (GetLastError() == ERROR_IO_PENDING)
            written = n;
        else
            latchErrors();
    }
    noteWritten(static_cast<long>(written));
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
    DWORD done = 0;
    COMSTAT comstat{};
    latchErrors(&comstat);
    if (comstat.cbInQue == 0)
        return 0;
    const DWORD n = len < comstat.cbInQue ? len : comstat.cbInQue;
    if (!ReadFile(handle, bytes, n, &done, readOverlapped) && GetLastError() != ERROR_IO_PENDING)
        latchErrors();
    if (done < n)
        GetOverlappedResult(handle, readOverlapped, &done, TRUE);
    return static_cast<int>(done);
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

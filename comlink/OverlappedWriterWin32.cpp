// One overlapped write at a time, with the bytes kept until it completes.
#include "comlink/OverlappedWriter.h"

BOOL OverlappedIo::writeFile(HANDLE handle, const void* data, DWORD count, OVERLAPPED* ov)
{
    return WriteFile(handle, data, count, nullptr, ov);
}

BOOL OverlappedIo::overlappedResult(HANDLE handle, OVERLAPPED* ov, DWORD* count, BOOL wait)
{
    return GetOverlappedResult(handle, ov, count, wait);
}

DWORD OverlappedIo::waitForEvent(HANDLE event, DWORD ms)
{
    return WaitForSingleObject(event, ms);
}

BOOL OverlappedIo::cancel(HANDLE handle, OVERLAPPED* ov)
{
    return CancelIoEx(handle, ov);
}

DWORD OverlappedIo::lastError()
{
    return GetLastError();
}

OverlappedIo& OverlappedIo::system()
{
    static OverlappedIo calls;
    return calls;
}

OverlappedWriter::OverlappedWriter(OverlappedIo& io_) : io(io_)
{
    // Manual reset, as GetOverlappedResult expects of an event it waits on.
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

OverlappedWriter::~OverlappedWriter()
{
    if (ov.hEvent != nullptr)
        CloseHandle(ov.hEvent);
}

bool OverlappedWriter::settle(HANDLE handle, DWORD waitMs)
{
    if (!pending)
        return true;
    if (io.waitForEvent(ov.hEvent, waitMs) != WAIT_OBJECT_0)
        return false;
    DWORD done = 0;
    if (!io.overlappedResult(handle, &ov, &done, FALSE) && io.lastError() == ERROR_IO_INCOMPLETE)
        return false;
    // Completed, whether the driver sent it all or failed it: the buffer
    // is free again. A failed write shows in the port's error latch.
    pending = false;
    return true;
}

DWORD OverlappedWriter::start(HANDLE handle, const std::uint8_t* bytes, DWORD count)
{
    if (pending || count == 0)
        return 0;
    buffer.assign(bytes, bytes + count);
    ov.Internal = ov.InternalHigh = 0;
    ov.Offset = ov.OffsetHigh = 0;
    if (io.writeFile(handle, buffer.data(), count, &ov)) {
        DWORD done = 0;
        io.overlappedResult(handle, &ov, &done, FALSE);
        return done;
    }
    if (io.lastError() != ERROR_IO_PENDING)
        return 0;
    pending = true;
    return count;
}

void OverlappedWriter::abandon(HANDLE handle)
{
    if (!pending)
        return;
    io.cancel(handle, &ov);
    DWORD done = 0;
    io.overlappedResult(handle, &ov, &done, TRUE);
    pending = false;
}

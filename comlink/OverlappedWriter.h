// One overlapped write at a time on a Win32 handle, its bytes owned until the
// driver is done with them.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <vector>

// The Win32 calls a write in flight makes. A test replaces them to have the
// driver complete a write later than the call, as USB serial drivers do.
class OverlappedIo {
public:
    virtual ~OverlappedIo() = default;
    virtual BOOL writeFile(HANDLE handle, const void* data, DWORD count, OVERLAPPED* ov);
    virtual BOOL overlappedResult(HANDLE handle, OVERLAPPED* ov, DWORD* count, BOOL wait);
    virtual DWORD waitForEvent(HANDLE event, DWORD ms);
    virtual BOOL cancel(HANDLE handle, OVERLAPPED* ov);
    virtual DWORD lastError();

    // The real calls.
    static OverlappedIo& system();
};

// A driver may finish an overlapped WriteFile after the call returns, reading
// the caller's buffer until then, and one OVERLAPPED record serves one
// request at a time. The writer copies each write into its own buffer and
// starts the next one only after the previous one has completed. Owner's
// thread only.
class OverlappedWriter {
public:
    explicit OverlappedWriter(OverlappedIo& io = OverlappedIo::system());
    ~OverlappedWriter();

    // Waits up to waitMs for the write in flight to complete. True when no
    // write is in flight afterwards.
    bool settle(HANDLE handle, DWORD waitMs);
    // Starts a write of a copy of bytes[0..count); no write may be in
    // flight (settle first). The count the driver took or holds: count,
    // also when the write is still in flight; 0 when it refused it.
    DWORD start(HANDLE handle, const std::uint8_t* bytes, DWORD count);
    // Bytes of the write in flight; 0 when none is.
    DWORD inFlight() const { return pending ? static_cast<DWORD>(buffer.size()) : 0; }
    // Cancels the write in flight and waits until the driver has let go of
    // the buffer (before the handle closes).
    void abandon(HANDLE handle);

    OverlappedWriter(const OverlappedWriter&) = delete;
    OverlappedWriter& operator=(const OverlappedWriter&) = delete;

private:
    OverlappedIo& io;
    OVERLAPPED ov{};
    std::vector<std::uint8_t> buffer;
    bool pending = false;
};

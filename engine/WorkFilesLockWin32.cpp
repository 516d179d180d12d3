// WorkFilesLock on Windows: LockFileEx(LOCKFILE_EXCLUSIVE_LOCK |
// LOCKFILE_FAIL_IMMEDIATELY) on the open lock file.
#include "engine/WorkFilesLock.h"

#include <windows.h>

#include "process/WideText.h"

namespace {

HANDLE asHandle(std::intptr_t h)
{
    return reinterpret_cast<HANDLE>(h);
}

std::string systemErrorText(DWORD code)
{
    return "Windows error " + std::to_string(code);
}

} // namespace

WorkFilesLock::~WorkFilesLock()
{
    release();
}

WorkFilesLock::Result WorkFilesLock::acquire(const std::string& folder)
{
    release();
    error_.clear();
    const std::string path = lockPath(folder);
    // Shared opening, so that a second run gets as far as the lock and is
    // told the folder is in use rather than that the file cannot be opened.
    HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error_ = "cannot create " + path + ": " + systemErrorText(GetLastError());
        return Result::Failed;
    }
    // The lock belongs to this handle: another handle on the file, in this
    // process or another, is refused until this one closes.
    OVERLAPPED at{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD e = GetLastError();
        CloseHandle(h);
        if (e == ERROR_LOCK_VIOLATION) {
            error_ = path + " is held by another run";
            return Result::InUse;
        }
        error_ = "cannot lock " + path + ": " + systemErrorText(e);
        return Result::Failed;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return Result::Locked;
}

void WorkFilesLock::release()
{
    if (handle_ == kNoHandle)
        return;
    OVERLAPPED at{};
    UnlockFileEx(asHandle(handle_), 0, 1, 0, &at);
    CloseHandle(asHandle(handle_));
    handle_ = kNoHandle;
}

// FileReplacer on Windows: CreateFileA(CREATE_NEW) beside the target, write,
// FlushFileBuffers, MoveFileExA with MOVEFILE_REPLACE_EXISTING.
#include "calimage/FileReplacer.h"

#include <algorithm>
#include <string>
#include <windows.h>

namespace {
HANDLE asHandle(std::intptr_t h)
{
    return reinterpret_cast<HANDLE>(h);
}
constexpr std::intptr_t kClosed = -1;
} // namespace

FileReplacer::~FileReplacer()
{
    discard();
}

void FileReplacer::discard()
{
    if (handle_ != kClosed) {
        CloseHandle(asHandle(handle_));
        handle_ = kClosed;
    }
    if (!temp_.empty()) {
        DeleteFileA(temp_.c_str());
        temp_.clear();
    }
}

bool FileReplacer::create()
{
    discard();
    failed_ = false;
    const DWORD attributes = GetFileAttributesA(target_.c_str());
    // MoveFileExA cannot replace a directory or a read-only file; refuse
    // them here, before anything is written.
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        return false;
    }
    // The temporary file sits in the target's directory so that the move is
    // a rename on one volume. CREATE_NEW guarantees the name is ours.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = target_ + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(attempt);
        HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<std::intptr_t>(h);
            temp_ = std::move(name);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) {
            return false;
        }
    }
    return false;
}

bool FileReplacer::write(std::span<const std::uint8_t> data)
{
    if (handle_ == kClosed || failed_) {
        failed_ = true;
        return false;
    }
    std::size_t done = 0;
    while (done < data.size()) {
        const std::size_t chunk = std::min<std::size_t>(data.size() - done, 1u << 30);
        DWORD written = 0;
        if (!WriteFile(asHandle(handle_), data.data() + done, static_cast<DWORD>(chunk), &written,
                       nullptr) ||
            written == 0) {
            failed_ = true;
            return false;
        }
        done += written;
    }
    return true;
}

bool FileReplacer::commit()
{
    if (handle_ == kClosed || failed_) {
        discard();
        return false;
    }
    HANDLE h = asHandle(handle_);
    handle_ = kClosed;
    const bool flushed = FlushFileBuffers(h) != 0;
    const bool closed = CloseHandle(h) != 0;
    if (!flushed || !closed ||
        !MoveFileExA(temp_.c_str(), target_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        failed_ = true;
        discard();
        return false;
    }
    temp_.clear();
    return true;
}

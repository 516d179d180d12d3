// FileReplacer on POSIX: open(O_EXCL) beside the target, write, fsync, rename.
#include "calimage/FileReplacer.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

FileReplacer::~FileReplacer()
{
    discard();
}

void FileReplacer::discard()
{
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool FileReplacer::create()
{
    discard();
    failed_ = false;
    struct stat st {};
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    // A rename would replace a read-only file that plain truncation could
    // not open; refuse it the same way.
    if (exists && (!S_ISREG(st.st_mode) || ::access(target_.c_str(), W_OK) != 0)) {
        return false;
    }
    // The temporary file must sit in the target's directory, since rename
    // does not cross file systems. Its name carries the process id and a
    // counter; O_EXCL guarantees it is ours.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = target_ + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            if (exists) {
                ::fchmod(fd, st.st_mode & 07777);
            }
            handle_ = fd;
            temp_ = std::move(name);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool FileReplacer::write(std::span<const std::uint8_t> data)
{
    if (handle_ < 0 || failed_) {
        failed_ = true;
        return false;
    }
    const int fd = static_cast<int>(handle_);
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool FileReplacer::commit()
{
    if (handle_ < 0 || failed_) {
        discard();
        return false;
    }
    const int fd = static_cast<int>(handle_);
    handle_ = -1;
    // fsync before rename: after a crash the target is either the old file
    // or the complete new one, never a renamed empty file.
    const bool synced = ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!synced || !closed || ::rename(temp_.c_str(), target_.c_str()) != 0) {
        failed_ = true;
        discard();
        return false;
    }
    temp_.clear();
    return true;
}

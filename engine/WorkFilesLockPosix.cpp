// WorkFilesLock on POSIX: flock(LOCK_EX | LOCK_NB) on the open lock file.
#include "engine/WorkFilesLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

WorkFilesLock::~WorkFilesLock()
{
    release();
}

WorkFilesLock::Result WorkFilesLock::acquire(const std::string& folder)
{
    release();
    error_.clear();
    const std::string path = lockPath(folder);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        error_ = "cannot create " + path + ": " + std::strerror(errno);
        return Result::Failed;
    }
    // The lock belongs to this open file description: a second open of the
    // file, in this process or another, is refused until this one closes.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        if (e == EWOULDBLOCK) {
            error_ = path + " is held by another run";
            return Result::InUse;
        }
        error_ = "cannot lock " + path + ": " + std::strerror(e);
        return Result::Failed;
    }
    handle_ = fd;
    return Result::Locked;
}

void WorkFilesLock::release()
{
    if (handle_ == kNoHandle)
        return;
    // Closing the only descriptor of the description ends the lock.
    ::close(static_cast<int>(handle_));
    handle_ = kNoHandle;
}

// The lock that keeps two runs out of one folder's working files.
#pragma once

#include <cstdint>
#include <string>

// Holds an exclusive lock on a folder's working files for as long as it lives,
// so two runs never share caltab.bin, the converter outputs and logfile.LOG.
// The lock is the system's own on the open lock file (flock on POSIX,
// LockFileEx on Windows): it ends with the holder, also when the process is
// killed, so a stale lock file never keeps a later run out. Two objects in
// one process exclude each other too. The owner's thread only.
class WorkFilesLock {
public:
    enum class Result { Locked, InUse, Failed };
    static constexpr const char* kFileName = "unitflash.lock";

    WorkFilesLock() = default;
    ~WorkFilesLock();  // releases
    WorkFilesLock(const WorkFilesLock&) = delete;
    WorkFilesLock& operator=(const WorkFilesLock&) = delete;

    // Creates folder/unitflash.lock if needed and locks it without waiting
    // (an empty folder is the current directory). A lock held before is
    // released first. InUse when another holder (this process or another)
    // has it; Failed with errorText() when the file cannot be created or
    // locked. errorText() names the file in both cases.
    Result acquire(const std::string& folder);
    bool held() const { return handle_ != kNoHandle; }
    void release();  // the lock file itself stays (deleting it would race)
    const std::string& errorText() const { return error_; }

private:
    static constexpr std::intptr_t kNoHandle = -1;

    // The lock file's path in folder, joined as the engine joins its paths.
    static std::string lockPath(const std::string& folder)
    {
        return folder.empty() ? std::string(kFileName) : folder + "/" + kFileName;
    }

    std::intptr_t handle_ = kNoHandle;  // platform handle of the open lock file
    std::string error_;
};

#pragma once

#include <filesystem>

namespace camsim {

// An flock on a file, held for the guard's lifetime. The file is created when
// missing. Throws SimError when it cannot be opened or locked.
class FileLock {
public:
    enum class Mode { Shared, Exclusive };
    FileLock(const std::filesystem::path& file, Mode mode);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_ = -1;
};

// A lock file kept open for an object's lifetime, locked and unlocked many
// times (BasicLockable, for std::lock_guard). An flock belongs to the open
// file, so it excludes other processes and other LockFile objects, not other
// threads using this one: pair it with a mutex. The kernel drops the lock of
// a process that dies, so a camera is never left locked. Throws SimError.
class LockFile {
public:
    explicit LockFile(const std::filesystem::path& file);
    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    void lock();
    void unlock();

private:
    std::filesystem::path file_;
    int fd_ = -1;
};

}  // namespace camsim

#pragma once

// Holds a camera's writer lock the way another process does: through an open
// file of its own, so this process's own lock bookkeeping does not see it.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

class ForeignWriterLock {
public:
    explicit ForeignWriterLock(const std::filesystem::path& lockFile)
        : fd_(::open(lockFile.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644)) {
        held_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    }
    ~ForeignWriterLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    ForeignWriterLock(const ForeignWriterLock&) = delete;
    ForeignWriterLock& operator=(const ForeignWriterLock&) = delete;

    bool held() const { return held_; }

private:
    int fd_;
    bool held_ = false;
};

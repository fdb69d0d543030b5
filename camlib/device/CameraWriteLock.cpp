#include "CameraWriteLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace veltrion {

namespace {

// A lock file this process holds: the open file that carries the flock, the
// thread that took it and how often that thread took it.
struct Holder {
    int fd = -1;
    std::thread::id owner;
    int count = 0;
};

struct HeldLocks {
    std::mutex mutex;
    std::map<std::string, Holder> byFile;
};

HeldLocks& heldLocks() {
    static HeldLocks locks;
    return locks;
}

}  // namespace

CameraWriteLock CameraWriteLock::acquire(const std::string& lockFile) {
    CameraWriteLock lock;
    if (lockFile.empty()) {
        lock.status_ = Status::Held;
        return lock;
    }
    HeldLocks& locks = heldLocks();
    const std::lock_guard guard(locks.mutex);
    if (auto held = locks.byFile.find(lockFile); held != locks.byFile.end()) {
        if (held->second.owner != std::this_thread::get_id()) {
            lock.status_ = Status::Busy;
            return lock;
        }
        ++held->second.count;
        lock.status_ = Status::Held;
        lock.lockFile_ = lockFile;
        return lock;
    }
    // Read-only is enough for flock, so a lock file another user made in a
    // shared folder can still be locked; O_NOFOLLOW keeps a planted link from
    // sending the open elsewhere.
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        lock.error_ = "cannot open " + lockFile + ": " + std::strerror(errno);
        return lock;
    }
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            lock.status_ = Status::Busy;
        } else {
            lock.error_ = "cannot lock " + lockFile + ": " + std::strerror(error);
        }
        return lock;
    }
    locks.byFile[lockFile] = Holder{fd, std::this_thread::get_id(), 1};
    lock.status_ = Status::Held;
    lock.lockFile_ = lockFile;
    return lock;
}

CameraWriteLock::~CameraWriteLock() { release(); }

CameraWriteLock::CameraWriteLock(CameraWriteLock&& other) noexcept
    : status_(std::exchange(other.status_, Status::Failed)),
      lockFile_(std::exchange(other.lockFile_, {})),
      error_(std::move(other.error_)) {}

CameraWriteLock& CameraWriteLock::operator=(CameraWriteLock&& other) noexcept {
    if (this != &other) {
        release();
        status_ = std::exchange(other.status_, Status::Failed);
        lockFile_ = std::exchange(other.lockFile_, {});
        error_ = std::move(other.error_);
    }
    return *this;
}

void CameraWriteLock::release() {
    if (lockFile_.empty()) return;
    HeldLocks& locks = heldLocks();
    const std::lock_guard guard(locks.mutex);
    if (auto held = locks.byFile.find(lockFile_); held != locks.byFile.end() && --held->second.count == 0) {
        ::close(held->second.fd);  // closing the file releases the flock
        locks.byFile.erase(held);
    }
    lockFile_.clear();
    status_ = Status::Failed;
}

}  // namespace veltrion

#include "FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "SimError.h"

namespace camsim {

namespace {

int openLockFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) throw SimError("cannot open " + file.string() + ": " + std::strerror(errno));
    return fd;
}

// 0 or the errno of the failed flock.
int flockRetrying(int fd, int operation) {
    int result = 0;
    do {
        result = ::flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

}  // namespace

FileLock::FileLock(const std::filesystem::path& file, Mode mode) {
    fd_ = openLockFile(file);
    if (const int error = flockRetrying(fd_, mode == Mode::Shared ? LOCK_SH : LOCK_EX); error != 0) {
        ::close(fd_);
        fd_ = -1;
        throw SimError("cannot lock " + file.string() + ": " + std::strerror(error));
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

LockFile::LockFile(const std::filesystem::path& file) : file_(file), fd_(openLockFile(file)) {}

LockFile::~LockFile() { ::close(fd_); }

void LockFile::lock() {
    if (const int error = flockRetrying(fd_, LOCK_EX); error != 0)
        throw SimError("cannot lock " + file_.string() + ": " + std::strerror(error));
}

void LockFile::unlock() { (void)flockRetrying(fd_, LOCK_UN); }

}  // namespace camsim

#include "FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "SimError.h"

namespace camsim {

FileLock::FileLock(const std::filesystem::path& file, Mode mode) {
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) throw SimError("cannot open " + file.string() + ": " + std::strerror(errno));
    const int operation = mode == Mode::Shared ? LOCK_SH : LOCK_EX;
    int result = 0;
    do {
        result = ::flock(fd_, operation);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        ::close(fd_);
        fd_ = -1;
        throw SimError("cannot lock " + file.string() + ": " + std::strerror(error));
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace camsim

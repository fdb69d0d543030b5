#include "CameraExchangeLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "MediaSourceCache.h"

namespace veltrion {

namespace {

constexpr const char* kWriterSuffix = ".lock";
constexpr const char* kExchangeSuffix = "-exchange.lock";

}  // namespace

std::shared_ptr<std::mutex> cameraExchangeLock(const std::string& symbolicLink) {
    static std::mutex registryMutex;
    static std::map<std::string, std::weak_ptr<std::mutex>> registry;
    std::lock_guard lock(registryMutex);
    auto& slot = registry[lowerCaseText(symbolicLink)];
    auto shared = slot.lock();
    if (!shared) {
        shared = std::make_shared<std::mutex>();
        slot = shared;
    }
    return shared;
}

std::string exchangeLockFileFor(const std::string& writerLockFile) {
    if (writerLockFile.empty()) return {};
    const std::string suffix = kWriterSuffix;
    std::string base = writerLockFile;
    if (base.size() > suffix.size() && base.compare(base.size() - suffix.size(), suffix.size(), suffix) == 0)
        base.resize(base.size() - suffix.size());
    return base + kExchangeSuffix;
}

CameraExchange::CameraExchange(std::mutex& threads, const std::string& lockFile) : threads_(threads) {
    if (lockFile.empty()) return;
    // As the writer lock: read-only is enough for flock, and a planted link
    // cannot send the open elsewhere.
    fd_ = ::open(lockFile.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd_ < 0) {
        error_ = "cannot open " + lockFile + ": " + std::strerror(errno);
        return;
    }
    // A blocking wait: the kernel queues the waiters, where polling would
    // starve behind a holder that takes the camera again at once. It is
    // bounded all the same: the holder's exchange ends within its property
    // time-outs, and a holder that dies loses the lock with its file.
    int result = 0;
    do {
        result = ::flock(fd_, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result != 0) error_ = "cannot lock " + lockFile + ": " + std::strerror(errno);
}

CameraExchange::~CameraExchange() {
    if (fd_ >= 0) ::close(fd_);  // closing the file releases the flock
}

}  // namespace veltrion

#include "image/PendingOutputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace veltrion::images {

namespace {
constexpr const char* kTemporarySuffix = ".part";
constexpr mode_t kFileMode = 0666;  // narrowed by the umask, as fopen's files are
}  // namespace

PendingOutputFile::PendingOutputFile(std::string target)
    : target_(std::move(target)), temporary_(target_ + kTemporarySuffix) {
    ::unlink(temporary_.c_str());  // a file left by a cut run, or a planted link
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
    made_ = fd_ >= 0;
}

PendingOutputFile::~PendingOutputFile() {
    if (fd_ >= 0) ::close(fd_);
    if (made_ && !committed_) ::unlink(temporary_.c_str());
}

bool PendingOutputFile::write(std::span<const uint8_t> bytes) {
    if (fd_ < 0) return false;
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = ENOSPC;
            return false;
        }
        bytes = bytes.subspan(static_cast<size_t>(written));
    }
    return true;
}

bool PendingOutputFile::commit() {
    if (fd_ < 0) return false;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    committed_ = closed && std::rename(temporary_.c_str(), target_.c_str()) == 0;
    return committed_;
}

}  // namespace veltrion::images

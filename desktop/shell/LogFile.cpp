#include "shell/LogFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "shell/FileVersion.h"

namespace veltrion::desktop {

namespace {

constexpr mode_t kLogFileMode = 0600;

std::tm localTime(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    return local;
}

// Closes the descriptor it holds when it goes.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Keeps the descriptor open past this object.
    void release() { fd_ = -1; }

private:
    int fd_;
};

void reportNotOpened(const std::string& path, const char* reason) {
    std::fprintf(stderr, "log file %s not opened: %s; the program logs to its standard streams\n", path.c_str(),
                 reason);
    std::fflush(stderr);
}

}  // namespace

LogFile::LogFile(std::time_t startTime) : LogFile(localTime(startTime)) {}

LogFile::LogFile(const std::tm& localStart)
    : path_(QFile::encodeName(QDir::tempPath()).toStdString() + "/" + fileNameFor(localStart)) {}

std::string LogFile::fileNameFor(const std::tm& localStart) {
    char name[96];
    std::snprintf(name, sizeof name, "Veltrion2Utility__%4d-%02d-%02d__%02d-%02d-%02d.log", localStart.tm_year + 1900,
                  localStart.tm_mon + 1, localStart.tm_mday, localStart.tm_hour, localStart.tm_min,
                  localStart.tm_sec);
    return name;
}

bool LogFile::open(Logger& log) {
    if (state_ != State::NotOpened) return isOpen();
    state_ = redirectStandardStreams() ? State::Open : State::Failed;
    log.log(kLogInfo, "Starting Veltrion2Utility Application version %s ...\n", fileVersionText());
    return isOpen();
}

bool LogFile::redirectStandardStreams() {
    // The temporary folder is shared: never follow a link planted in the
    // file's place, and never log into a file someone else owns.
    FileDescriptor file(::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, kLogFileMode));
    if (file.get() < 0) {
        const int error = errno;
        reportNotOpened(path_, error == ELOOP ? "a symbolic link is in its place" : std::strerror(error));
        return false;
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
        reportNotOpened(path_, "it is not a regular file of this user");
        return false;
    }
    // A file left from an earlier run may carry wider permissions.
    if ((status.st_mode & 07777) != kLogFileMode && ::fchmod(file.get(), kLogFileMode) != 0) {
        reportNotOpened(path_, std::strerror(errno));
        return false;
    }

    // What was printed before belongs to the old destinations.
    std::fflush(stdout);
    std::fflush(stderr);
    // Both streams share the one open file, and with it the write offset, so
    // their lines interleave in order instead of overwriting each other.
    if (::dup2(file.get(), STDOUT_FILENO) < 0) {
        reportNotOpened(path_, std::strerror(errno));
        return false;
    }
    if (::dup2(file.get(), STDERR_FILENO) < 0) {
        // The logger's records reach the file all the same.
        std::fprintf(stderr, "standard error not redirected to log file %s: %s\n", path_.c_str(),
                     std::strerror(errno));
    }
    // Started with standard output or error closed, the file took one of
    // their numbers: that one now is the stream and stays open (and, like
    // the other, is handed on to child processes).
    if (file.get() == STDOUT_FILENO || file.get() == STDERR_FILENO) {
        ::fcntl(file.get(), F_SETFD, 0);
        file.release();
    }
    return true;
}

}  // namespace veltrion::desktop

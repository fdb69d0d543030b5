#pragma once

// A stop request a worker thread can both test and wait on: an atomic flag
// plus an event descriptor that turns readable when the flag is set, so a
// thread blocked in poll() wakes at once.

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

namespace veltrion {

class StopSignal {
public:
    StopSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~StopSignal() {
        if (fd_ >= 0) ::close(fd_);
    }
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void request() {
        stopped_.store(true);
        const uint64_t one = 1;
        if (fd_ >= 0) {
            // A full counter still leaves the descriptor readable.
            [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
        }
    }
    bool requested() const { return stopped_.load(); }
    // Readable once stop was requested; -1 when no descriptor could be made
    // (waiters then fall back to their poll interval).
    int descriptor() const { return fd_; }

private:
    std::atomic<bool> stopped_{false};
    int fd_;
};

}  // namespace veltrion

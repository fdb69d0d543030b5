#pragma once

// One request-and-reply exchange with a camera over its extension unit, held
// against every thread and every process. The camera keeps a single reply
// latch (the answer of the last request header until it is read), so two
// hosts that interleave header and read would take each other's replies.
//
// Threads of this process wait on a mutex per camera; processes on an flock
// of a file beside the camera's writer lock, opened for each exchange. The
// kernel drops the flock of a process that dies, so a camera is never left
// locked. Cameras are locked one by one: exchanges with different cameras
// never wait on each other.

#include <memory>
#include <mutex>
#include <string>

namespace veltrion {

// The process-wide lock of one camera's exchanges, shared by every device
// object that opens the camera (the manager's and the monitors').
std::shared_ptr<std::mutex> cameraExchangeLock(const std::string& symbolicLink);

// The exchange lock file of the camera whose writer lock file this is; empty
// for none (the port offers no lock between processes).
std::string exchangeLockFileFor(const std::string& writerLockFile);

class CameraExchange {
public:
    // Waits for the camera. An empty file name locks the threads of this
    // process only.
    CameraExchange(std::mutex& threads, const std::string& lockFile);
    ~CameraExchange();
    CameraExchange(const CameraExchange&) = delete;
    CameraExchange& operator=(const CameraExchange&) = delete;

    // False when the lock file could not be used; error() says why.
    explicit operator bool() const { return error_.empty(); }
    const std::string& error() const { return error_; }

private:
    std::lock_guard<std::mutex> threads_;
    int fd_ = -1;
    std::string error_;
};

}  // namespace veltrion

#pragma once

// One writer per camera: an exclusive, non-blocking advisory lock (flock) on
// a lock file that stands for one camera, held for as long as a guard lives.
// The port names the file (UsbPort::writerLockFile): after the bus and port
// path on the real bus, after the camera's folder on the simulated one.
//
// flock belongs to an open file, so a second open of the same file in the
// same process would refuse itself. The lock is therefore counted per file
// and thread inside the process: the thread that holds it may take it again
// (an update holds it and the component writers it calls take it too);
// another thread, or another process, finds the camera busy. Readers take no
// lock and are never blocked.

#include <string>

namespace veltrion {

class CameraWriteLock {
public:
    enum class Status {
        Held,   // this guard holds the camera
        Busy,   // another process or thread writes to the camera
        Failed  // the lock file could not be opened or locked; see error()
    };

    // Takes the lock without waiting. An empty file name takes nothing and
    // counts as held: the channel offers no lock between processes.
    static CameraWriteLock acquire(const std::string& lockFile);

    CameraWriteLock() = default;
    ~CameraWriteLock();
    CameraWriteLock(CameraWriteLock&& other) noexcept;
    CameraWriteLock& operator=(CameraWriteLock&& other) noexcept;
    CameraWriteLock(const CameraWriteLock&) = delete;
    CameraWriteLock& operator=(const CameraWriteLock&) = delete;

    Status status() const { return status_; }
    explicit operator bool() const { return status_ == Status::Held; }
    // Why the lock could not be taken (Failed only).
    const std::string& error() const { return error_; }
    const std::string& lockFile() const { return lockFile_; }

private:
    void release();

    Status status_ = Status::Failed;
    std::string lockFile_;  // empty when nothing is held
    std::string error_;
};

}  // namespace veltrion

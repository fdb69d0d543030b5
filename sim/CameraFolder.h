#pragma once

// The files of one camera on the simulated bus: <bus>/<name>/camera.json,
// flash.bin and eeprom.bin, plus the lock file that serialises readers and
// writers of camera.json across processes and the host's writer lock.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "CameraState.h"

namespace camsim {

constexpr uint32_t kEepromSize = 64 * 1024;

// Which camera.json a folder holds: every save replaces the file, so a new
// file number, size or change time tells that it changed, without reading it.
struct FileStamp {
    uint64_t inode = 0;
    int64_t size = -1;
    int64_t changeNs = 0;

    bool operator==(const FileStamp&) const = default;
};

class CameraFolder {
public:
    explicit CameraFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

    const std::filesystem::path& path() const { return folder_; }
    std::string name() const { return folder_.filename().string(); }
    std::filesystem::path stateFile() const { return folder_ / "camera.json"; }
    std::filesystem::path flashFile() const { return folder_ / "flash.bin"; }
    std::filesystem::path eepromFile() const { return folder_ / "eeprom.bin"; }
    std::filesystem::path lockFile() const { return folder_ / "camera.lock"; }
    // The camera's shared run-time block (LiveState), and the locks that make
    // one request at a time of every process (state.lock) and one video
    // function call at a time (video.lock, as the video driver serialises
    // calls per device).
    std::filesystem::path liveFile() const { return folder_ / "live.bin"; }
    std::filesystem::path stateLockFile() const { return folder_ / "state.lock"; }
    std::filesystem::path videoLockFile() const { return folder_ / "video.lock"; }

    // Held by a host process for as long as it writes to the camera's flash
    // (one writer per camera); the simulator itself never takes it.
    std::filesystem::path writerLockFile() const { return folder_ / "writer.lock"; }

    bool exists() const;

    // Reads camera.json under a shared lock; throws SimError. The stamp, when
    // asked for, is the file's as read.
    CameraState load(FileStamp* stamp = nullptr) const;
    // camera.json's stamp now; a default stamp when it cannot be read.
    FileStamp stamp() const;
    // The revision stored in camera.json, or nothing when it cannot be read.
    bool storedRevision(uint64_t& revision) const;
    // Writes camera.json under an exclusive lock through a temporary file and
    // a rename, so a reader sees the old or the new file, never a mix. Bumps
    // the state's revision past the stored one. Throws SimError. Returns the
    // stamp of the file written.
    FileStamp save(CameraState& state) const;
    // Writes camera.json as it is, revision included, the same way; for a
    // caller that keeps the revision itself.
    FileStamp write(const CameraState& state) const;

    // Makes the folder with the given flash contents, an erased EEPROM and the
    // state; camera.json comes last, so the camera appears complete. Throws
    // SimError when the camera exists already.
    void create(CameraState& state, std::span<const uint8_t> flash) const;

private:
    std::filesystem::path folder_;
};

}  // namespace camsim

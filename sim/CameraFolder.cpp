#include "CameraFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "CameraStateJson.h"
#include "FileLock.h"
#include "SimError.h"
#include "format/FlashMap.h"

namespace camsim {

namespace fs = std::filesystem;

namespace {

std::string readWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw SimError("cannot read " + file.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeBytes(const fs::path& file, std::span<const uint8_t> bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw SimError("cannot write " + file.string());
}

// camera.json without taking the lock; the caller holds it.
void writeState(const CameraFolder& folder, const CameraState& state) {
    const fs::path target = folder.stateFile();
    fs::path temporary = target;
    temporary += ".tmp." + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << cameraStateToJson(state);
        out.flush();
        if (!out) throw SimError("cannot write " + temporary.string());
    }
    std::error_code error;
    fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary, error);
        throw SimError("cannot replace " + target.string());
    }
}

}  // namespace

bool CameraFolder::exists() const {
    std::error_code error;
    return fs::is_regular_file(stateFile(), error);
}

CameraState CameraFolder::load(FileStamp* stamp) const {
    if (!exists()) throw SimError("no camera named '" + name() + "'");
    const FileLock lock(lockFile(), FileLock::Mode::Shared);
    CameraState state = cameraStateFromJson(readWhole(stateFile()));
    if (stamp) *stamp = this->stamp();
    return state;
}

FileStamp CameraFolder::stamp() const {
    struct stat info {};
    if (::stat(stateFile().c_str(), &info) != 0) return {};
    constexpr int64_t kNsPerSecond = 1'000'000'000;
    return {static_cast<uint64_t>(info.st_ino), static_cast<int64_t>(info.st_size),
            static_cast<int64_t>(info.st_ctim.tv_sec) * kNsPerSecond + info.st_ctim.tv_nsec};
}

bool CameraFolder::storedRevision(uint64_t& revision) const {
    try {
        revision = load().revision;
        return true;
    } catch (const SimError&) {
        return false;
    }
}

FileStamp CameraFolder::save(CameraState& state) const {
    const FileLock lock(lockFile(), FileLock::Mode::Exclusive);
    uint64_t stored = 0;
    if (exists()) {
        try {
            stored = cameraStateFromJson(readWhole(stateFile())).revision;
        } catch (const SimError&) {
            // A damaged file is simply replaced.
        }
    }
    state.revision = std::max(stored, state.revision) + 1;
    writeState(*this, state);
    return stamp();
}

FileStamp CameraFolder::write(const CameraState& state) const {
    const FileLock lock(lockFile(), FileLock::Mode::Exclusive);
    writeState(*this, state);
    return stamp();
}

void CameraFolder::create(CameraState& state, std::span<const uint8_t> flash) const {
    if (flash.size() != veltrion::flashmap::kFlashSize) throw SimError("flash image of the wrong size");
    std::error_code error;
    if (fs::exists(folder_, error)) throw SimError("camera '" + name() + "' exists already");
    fs::create_directories(folder_, error);
    if (error) throw SimError("cannot create " + folder_.string() + ": " + error.message());
    writeBytes(flashFile(), flash);
    writeBytes(eepromFile(), std::vector<uint8_t>(kEepromSize, veltrion::flashmap::kErasedByte));
    save(state);
}

}  // namespace camsim

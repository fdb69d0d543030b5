#pragma once

#include <filesystem>

namespace camsim {

// An flock on a file, held for the guard's lifetime. The file is created when
// missing. Throws SimError when it cannot be opened or locked.
class FileLock {
public:
    enum class Mode { Shared, Exclusive };
    FileLock(const std::filesystem::path& file, Mode mode);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_ = -1;
};

}  // namespace camsim

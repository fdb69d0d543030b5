#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace camsim {

// A file of a fixed size mapped read-write and shared, so every process that
// maps it sees the same bytes at once (the camera's flash chip). Unmapped when
// destroyed. Throws SimError when the file is missing or has another size.
class MappedFile {
public:
    enum class Open { Existing, CreateZeroed };
    // CreateZeroed makes a missing file, or one of another size, the given
    // size (new bytes read 0); several processes may do so at once.
    MappedFile(const std::filesystem::path& file, size_t expectedSize, Open open = Open::Existing);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::span<uint8_t> bytes() { return {data_, size_}; }
    std::span<const uint8_t> bytes() const { return {data_, size_}; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace camsim

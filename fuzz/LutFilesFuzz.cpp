// libFuzzer entry for the lookup-table and alignment text files. The loaders
// open files by name, so each input is put into an in-memory file that they
// open through /proc. The first byte picks the loader and, for a table, its
// position (some positions lie outside the table on purpose); the rest is the
// file. Nothing may be written outside the lookup-table buffer.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "image/LutFiles.h"

namespace {

using namespace veltrion;
using fuzzsupport::require;

// One in-memory file for the whole run, rewritten for each input.
class MemoryFile {
public:
    MemoryFile() : fd_(memfd_create("lut", 0)) { require(fd_ >= 0); }
    ~MemoryFile() { ::close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    std::string write(const uint8_t* data, size_t size) {
        require(::ftruncate(fd_, 0) == 0);
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            require(n > 0);
            done += static_cast<size_t>(n);
        }
        return "/proc/self/fd/" + std::to_string(fd_);
    }

private:
    int fd_;
};

// Guard bytes around the buffer: a write past either end changes them.
constexpr size_t kGuard = 64;
constexpr uint8_t kGuardByte = 0xA5;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MemoryFile file;
    if (size == 0) return 0;
    fuzzsupport::QuietLogger logger;
    const uint8_t choice = data[0];
    const std::string path = file.write(data + 1, size - 1);

    std::vector<uint8_t> memory(kGuard + lut::kBufferSize + kGuard, kGuardByte);
    const std::span<uint8_t> buffer(memory.data() + kGuard, lut::kBufferSize);
    if (choice & 0x80) {
        images::loadAlignmentData(path, buffer, logger);
    } else {
        // 0..23 are the table's positions, 24..31 lie past it, the rest before it.
        const int table = choice & 0x1F;
        const int position = (choice & 0x40) ? -table : table * static_cast<int>(lut::kTableEntries);
        images::loadLUTFile(path, position, buffer, logger);
    }
    for (size_t i = 0; i < kGuard; ++i)
        require(memory[i] == kGuardByte && memory[kGuard + lut::kBufferSize + i] == kGuardByte);
    return 0;
}

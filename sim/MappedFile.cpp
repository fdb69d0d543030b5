#include "MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "SimError.h"

namespace camsim {

MappedFile::MappedFile(const std::filesystem::path& file, size_t expectedSize) {
    const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) throw SimError("cannot open " + file.string() + ": " + std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || static_cast<size_t>(info.st_size) != expectedSize) {
        ::close(fd);
        throw SimError(file.string() + " does not have " + std::to_string(expectedSize) + " bytes");
    }
    void* mapping = ::mmap(nullptr, expectedSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    const int error = errno;
    ::close(fd);  // the mapping keeps the file
    if (mapping == MAP_FAILED) throw SimError("cannot map " + file.string() + ": " + std::strerror(error));
    data_ = static_cast<uint8_t*>(mapping);
    size_ = expectedSize;
}

MappedFile::~MappedFile() {
    if (data_) ::munmap(data_, size_);
}

}  // namespace camsim

#include "MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "SimError.h"

namespace camsim {

MappedFile::MappedFile(const std::filesystem::path& file, size_t expectedSize, Open open) {
    const int flags = O_RDWR | O_CLOEXEC | (open == Open::CreateZeroed ? O_CREAT : 0);
    const int fd = ::open(file.c_str(), flags, 0644);
    if (fd < 0) throw SimError("cannot open " + file.string() + ": " + std::strerror(errno));
    struct stat info {};
    if (open == Open::CreateZeroed && ::fstat(fd, &info) == 0 && static_cast<size_t>(info.st_size) != expectedSize &&
        ::ftruncate(fd, static_cast<off_t>(expectedSize)) != 0) {
        const int error = errno;
        ::close(fd);
        throw SimError("cannot size " + file.string() + ": " + std::strerror(error));
    }
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

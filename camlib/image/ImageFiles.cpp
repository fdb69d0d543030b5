#include "image/ImageFiles.h"

#include <openssl/evp.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>

#include "base/Logger.h"

namespace veltrion::images {

namespace {

// The hash is fed in pieces of this size, so no single call sees a length
// beyond what its int-sized parameters can carry.
constexpr size_t kHashPieceSize = 1024 * 1024;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

// The size of an open regular file, or -1.
int64_t regularFileSize(std::FILE* file) {
    struct stat status {};
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
    return static_cast<int64_t>(status.st_size);
}

}  // namespace

bool openAndReadFile(const std::string& path, std::vector<uint8_t>& buffer, Logger& logger) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    const int64_t size = file ? regularFileSize(file.get()) : -1;
    if (!file || size < 0) {
        logger.log(kLogError, "Veltrion2CamMgr::openAndReadFile failed - not able to open file %s\n", path.c_str());
        return false;
    }
    if (size == 0) {
        logger.log(kLogError, "Veltrion2CamMgr::openAndReadFile failed - file size invalid: %d\n",
                   static_cast<int>(size));
        return false;
    }
    std::vector<uint8_t> contents;
    try {
        contents.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        logger.log(kLogError, "Veltrion2CamMgr::openAndReadFile failed - no memory\n");
        return false;
    }
    if (std::fread(contents.data(), 1, contents.size(), file.get()) != contents.size()) {
        logger.log(kLogError, "Veltrion2CamMgr::openAndReadFile failed - fread failed\n");
        return false;
    }
    buffer = std::move(contents);
    return true;
}

bool openAndDumpFile(const std::string& path, std::span<const uint8_t> bytes, bool append, Logger& logger) {
    if (bytes.empty()) return true;
    FilePtr file(std::fopen(path.c_str(), append ? "ab" : "wb"));
    if (!file) {
        logger.log(kLogError, "Veltrion2CamMgr::openAndDumpFile failed - failed to open file %s for writing\n",
                   path.c_str());
        return false;
    }
    // A full disk may only show when the buffered data is flushed at close.
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        logger.log(kLogError, "Veltrion2CamMgr::openAndDumpFile failed - write failed\n");
        return false;
    }
    return true;
}

std::optional<Md5Digest> getMD5Hash(std::span<const uint8_t> bytes, Logger& logger) {
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(EVP_MD_CTX_new());
    if (!context) {
        logger.log(kLogError, "Veltrion2CamMgr::getMD5Hash - no memory\n");
        return std::nullopt;
    }
    bool ok = EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) == 1;
    for (size_t done = 0; ok && done < bytes.size(); done += kHashPieceSize) {
        const size_t piece = std::min(kHashPieceSize, bytes.size() - done);
        ok = EVP_DigestUpdate(context.get(), bytes.data() + done, piece) == 1;
    }
    Md5Digest digest{};
    unsigned int digestLength = 0;
    ok = ok && EVP_DigestFinal_ex(context.get(), digest.data(), &digestLength) == 1 &&
         digestLength == digest.size();
    if (!ok) {
        logger.log(kLogError, "Veltrion2CamMgr::getMD5Hash - MD5 hash failed\n");
        return std::nullopt;
    }
    return digest;
}

int64_t fileSizeByPath(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
    return static_cast<int64_t>(status.st_size);
}

bool isSameFile(const std::string& first, const std::string& second) {
    std::error_code error;  // a path that does not exist is no other file
    return std::filesystem::equivalent(first, second, error) && !error;
}

bool readFileExactly(const std::string& path, std::span<uint8_t> out) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file || regularFileSize(file.get()) != static_cast<int64_t>(out.size())) return false;
    return std::fread(out.data(), 1, out.size(), file.get()) == out.size();
}

}  // namespace veltrion::images

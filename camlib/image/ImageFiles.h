#pragma once

// Whole-file reads and writes for update images, and the MD5 digest that
// guards an image body.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace veltrion {

class Logger;

constexpr size_t kMd5DigestSize = 16;
using Md5Digest = std::array<uint8_t, kMd5DigestSize>;

namespace images {

// Reads a whole file in binary mode; an empty file is refused.
bool openAndReadFile(const std::string& path, std::vector<uint8_t>& buffer, Logger& logger);

// Writes ("wb") or appends ("ab") the bytes; nothing to write succeeds at once.
bool openAndDumpFile(const std::string& path, std::span<const uint8_t> bytes, bool append, Logger& logger);

// The MD5 digest of the bytes, fed to the hash in pieces; nothing on failure.
std::optional<Md5Digest> getMD5Hash(std::span<const uint8_t> bytes, Logger& logger);

// The size the file system reports, or -1 when the path cannot be examined
// or is not a regular file.
int64_t fileSizeByPath(const std::string& path);

// True when both paths name one existing file (same file system object after
// links are followed), however differently they are written.
bool isSameFile(const std::string& first, const std::string& second);

// Reads exactly out.size() bytes of the file into out; false when the file
// cannot be opened or holds another number of bytes. Logs nothing.
bool readFileExactly(const std::string& path, std::span<uint8_t> out);

}  // namespace images

}  // namespace veltrion

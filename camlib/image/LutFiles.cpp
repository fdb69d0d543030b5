#include "image/LutFiles.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "base/Logger.h"

namespace veltrion::images {

namespace {

constexpr std::array<const char*, 2> kAxes = {"x", "y"};
constexpr std::array<const char*, 4> kQuadrants = {"00", "01", "10", "11"};
constexpr size_t kTablesPerIndex = kAxes.size() * kQuadrants.size();

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// One hexadecimal number at the start of a line, as "%x" reads it (leading
// white space, a sign and "0x" allowed, anything after the digits ignored).
std::optional<uint16_t> parseHexLine(const char* line) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(line, &end, 16);
    if (end == line) return std::nullopt;
    return static_cast<uint16_t>(value);
}

// The line without its line end, for messages.
std::string lineText(const char* line) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// Stores a 16-bit little-endian value at a byte offset of the buffer.
void putValue(std::span<uint8_t> buffer, size_t offset, uint16_t value) {
    buffer[offset] = static_cast<uint8_t>(value);
    buffer[offset + 1] = static_cast<uint8_t>(value >> 8);
}

bool bufferFits(std::span<uint8_t> buffer, const char* operation, Logger& logger) {
    if (buffer.size() >= lut::kBufferSize) return true;
    logger.log(kLogError, "Veltrion2CamMgr::%s failed - lookup-table buffer of %zu bytes, need %zu\n", operation,
               buffer.size(), lut::kBufferSize);
    return false;
}

}  // namespace

std::string lutFileName(const std::string& directory, size_t number) {
    const size_t index = number / kTablesPerIndex;
    const size_t axis = number % kTablesPerIndex / kQuadrants.size();
    const size_t quadrant = number % kQuadrants.size();
    return directory + "/surface_" + kAxes[axis] + "_LUT_" + kQuadrants[quadrant] + "_" + std::to_string(index) +
           ".load";
}

bool loadLUTFile(const std::string& file, int position, std::span<uint8_t> buffer, Logger& logger) {
    if (!bufferFits(buffer, "loadLUTFile", logger)) return false;
    if (position < 0 || static_cast<size_t>(position) + lut::kTableEntries > lut::kEntryCount) {
        logger.log(kLogError,
                   "Veltrion2CamMgr::loadLUTFile failed - too many lookup tables to load?? LUTLoc = %d, LUT_DATA_SIZE "
                   "= %d, LUT Data size = %d, UT file = %s\n",
                   position, static_cast<int>(lut::kTableEntries), static_cast<int>(singleimage::kLutBlockSize),
                   file.c_str());
        return false;
    }
    FilePtr input(std::fopen(file.c_str(), "r"));
    if (!input) {
        logger.log(kLogError, "Veltrion2CamMgr::loadLUTFile failed - unable to open %s\n", file.c_str());
        return false;
    }
    // A table that ends early leaves the rest of its entries zero.
    const size_t first = static_cast<size_t>(position);
    std::memset(buffer.data() + 2 * first, 0, 2 * lut::kTableEntries);

    char line[lut::kLineBufferSize];
    for (size_t count = 0; count < lut::kTableEntries && std::fgets(line, sizeof line, input.get()); ++count) {
        const auto value = parseHexLine(line);
        if (!value) {
            logger.log(kLogError,
                       "Veltrion2CamMgr::loadLUTFile failed - file %s contain invalid line which contain invalid hex "
                       "value %s\n",
                       file.c_str(), lineText(line).c_str());
            return false;
        }
        putValue(buffer, 2 * (first + count), *value);
    }
    if (std::ferror(input.get())) {
        logger.log(kLogError, "Veltrion2CamMgr::loadLUTFile failed - file %s read error\n", file.c_str());
        return false;
    }
    return true;
}

bool loadAllLUTFilesInDirectory(const std::string& directory, std::span<uint8_t> buffer, Logger& logger) {
    for (size_t number = 0; number < lut::kTableCount; ++number) {
        const std::string file = lutFileName(directory, number);
        const int position = static_cast<int>(number * lut::kTableEntries);
        if (!loadLUTFile(file, position, buffer, logger)) {
            logger.log(kLogError,
                       "Veltrion2CamMgr::loadAllLUTFilesInDirectory failed - unable to load LUT file %s at location "
                       "%d\n",
                       file.c_str(), position);
            return false;
        }
    }
    return true;
}

bool loadAlignmentData(const std::string& file, std::span<uint8_t> buffer, Logger& logger) {
    if (!bufferFits(buffer, "loadAlignmentData", logger)) return false;
    constexpr int kExpectedLines = static_cast<int>(singleimage::kAlignmentValueCount);
    FilePtr input(std::fopen(file.c_str(), "r"));
    if (!input) {
        logger.log(kLogError, "Veltrion2CamMgr::loadAlignmentData failed - unable to open %s\n", file.c_str());
        return false;
    }
    char line[lut::kLineBufferSize];
    int count = 0;
    while (std::fgets(line, sizeof line, input.get())) {
        // Even an empty sixth line is one line too many.
        if (count == kExpectedLines) {
            logger.log(kLogError,
                       "Veltrion2CamMgr::loadAlignmentData failed - file %s contain too many lines - expected only %d "
                       "lines\n",
                       file.c_str(), kExpectedLines);
            return false;
        }
        const auto value = parseHexLine(line);
        if (!value) {
            logger.log(kLogError,
                       "Veltrion2CamMgr::loadAlignmentData failed - file %s contain invalid line which contain invalid "
                       "hex value %s\n",
                       file.c_str(), lineText(line).c_str());
            return false;
        }
        putValue(buffer, lut::kAlignmentOffset + 2 * static_cast<size_t>(count++), *value);
    }
    if (std::ferror(input.get())) {
        logger.log(kLogError, "Veltrion2CamMgr::loadAlignmentData failed - file %s read error\n", file.c_str());
        return false;
    }
    if (count < kExpectedLines) {
        logger.log(kLogError,
                   "Veltrion2CamMgr::loadAlignmentData failed - file %s contain %d number of lines - expected only %d "
                   "lines\n",
                   file.c_str(), count, kExpectedLines);
        return false;
    }
    return true;
}

}  // namespace veltrion::images

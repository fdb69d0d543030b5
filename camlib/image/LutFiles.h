#pragma once

// A camera's lookup table and alignment values as production delivers them:
// a directory of 24 text tables and a five-line alignment file, loaded into
// the manager's lookup-table buffer: 49152 16-bit entries with the five 16-bit
// alignment values right behind them, all little-endian, exactly as they go
// into an image and into flash.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "image/UpdateImageFormat.h"

namespace veltrion {

class Logger;

namespace lut {
constexpr size_t kEntryCount = singleimage::kLutBlockSize / 2;  // 49152 16-bit entries
constexpr size_t kTableEntries = 2048;                          // entries of one text table
constexpr size_t kTableCount = kEntryCount / kTableEntries;     // 24 files per directory
constexpr size_t kLineBufferSize = 1024;
constexpr size_t kAlignmentOffset = singleimage::kLutBlockSize;
constexpr size_t kBufferSize = singleimage::kPerCameraSize;  // 98314 bytes
}  // namespace lut

namespace images {

// Each operation takes the lookup-table buffer (lut::kBufferSize bytes) and
// refuses a smaller one.

// Loads one table of 2048 hexadecimal lines at entry position `position`.
bool loadLUTFile(const std::string& file, int position, std::span<uint8_t> buffer, Logger& logger);

// Loads the 24 tables of a directory, filling the whole table.
bool loadAllLUTFilesInDirectory(const std::string& directory, std::span<uint8_t> buffer, Logger& logger);

// The file name of table `number` (0..23) of a directory, in load order.
std::string lutFileName(const std::string& directory, size_t number);

// Loads exactly five hexadecimal 16-bit lines into the alignment values.
bool loadAlignmentData(const std::string& file, std::span<uint8_t> buffer, Logger& logger);

}  // namespace images

}  // namespace veltrion

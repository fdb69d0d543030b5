#pragma once

// Backup copies of configuration blocks, kept on the computer before a
// rewrite erases the camera's only copy of its serial number, alignment
// values and factory calibration. They live under the user's state folder:
// $XDG_STATE_HOME/veltrion/config-backups, or ~/.local/state/... without it.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace veltrion::configbackup {

// The backup folder, or nothing when neither XDG_STATE_HOME (absolute) nor
// HOME names a place for it.
std::optional<std::filesystem::path> directory();

// A serial number as a file-name part: letters, digits, '-', '_' and '.'
// kept, anything else replaced by '_'; "unknown" when nothing usable is left.
std::string fileNamePart(const std::string& serial);

// Writes the block image to a new file named "<serial>-<UTC time>.bin" in
// the backup folder, creating the folder. Returns the file's path, or
// nothing with a reason in error.
std::optional<std::filesystem::path> save(std::span<const uint8_t> image, const std::string& serial,
                                          std::string& error);

}  // namespace veltrion::configbackup

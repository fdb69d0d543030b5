#pragma once

// What a production line stores in a new camera beside its firmware: the
// configuration block (serial number, component lengths, alignment values,
// JPEG lengths, audio checksum, calibration on V2s cameras, the feature
// configuration table), the feature JSON of its firmware group, and the
// board's EEPROM. Everything is derived from the identity and serial number,
// so one camera built twice is identical.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "Factory.h"

namespace camsim {

// The 256-byte main page and second page of a new camera's block.
std::vector<uint8_t> makeConfigMainPage(const FirmwareSet& firmware, uint16_t vendorId, uint16_t productId,
                                        const std::string& serial);
std::vector<uint8_t> makeConfigSecondPage(uint16_t vendorId, uint16_t productId);

// Erases the configuration-block sector, the lookup-table region and the JSON
// sector and writes the block, the unit's lookup table and the group's
// feature JSON record into them.
void writeFactoryData(std::span<uint8_t> flash, const FirmwareSet& firmware, uint16_t vendorId, uint16_t productId,
                      const std::string& serial);

// The 64 KiB EEPROM image of a new board, and the same written to a file.
std::vector<uint8_t> makeFactoryEeprom(uint16_t vendorId, uint16_t productId, const std::string& serial);
void writeFactoryEeprom(const std::filesystem::path& file, uint16_t vendorId, uint16_t productId,
                        const std::string& serial);

}  // namespace camsim

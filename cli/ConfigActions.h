#pragma once

#include <cstdint>
#include <string>

#include "manager/Veltrion2CamMgr.h"

namespace veltrion::cli {

// -s: shows the configuration block of one camera or of all.
bool displayConfigBlock(const std::string& selector, Veltrion2CamMgr& mgr);

// -m: shows length bytes of a camera's EEPROM from address on.
bool displayEEPROMData(const std::string& selector, uint32_t address, uint32_t length, Veltrion2CamMgr& mgr);

// --read-calib: shows the calibration parameters of one camera or of all.
bool readCalibration(const std::string& selector, Veltrion2CamMgr& mgr);

// --write-calib: writes calibration parameters given as "key: value" lines.
bool writeCalibration(const std::string& selector, const std::string& argFile, Veltrion2CamMgr& mgr);

}  // namespace veltrion::cli

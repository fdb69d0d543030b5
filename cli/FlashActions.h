#pragma once

#include <string>

#include "manager/Veltrion2CamMgr.h"

namespace veltrion::cli {

// -r: shows length bytes of a camera's flash from address on.
bool displayFlashContents(const std::string& selector, const std::string& addressText,
                          const std::string& lengthText, Veltrion2CamMgr& mgr);

// -w and -e: writes bytes or a file into a camera's flash, or erases the 4 KiB
// sector that holds the address.
bool programOrEraseFlash(const std::string& selector, const std::string& addressText, const std::string& data,
                         bool erase, Veltrion2CamMgr& mgr);

}  // namespace veltrion::cli

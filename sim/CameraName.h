#pragma once

// Camera names are folder names on the bus and part of device paths; serial
// numbers are the 12-character serial-number strings of the cameras.

#include <string>

namespace camsim {

constexpr size_t kSerialLength = 12;
constexpr size_t kMaxNameLength = 64;

// Letters, digits, "-", "_" and "."; not starting with "."; at most 64.
bool isValidCameraName(const std::string& name);

// Exactly 12 letters or digits.
bool isValidSerial(const std::string& serial);

// The serial a camera gets when none is given: 12 upper-case hex digits
// derived from its name, the same every time.
std::string defaultSerialFor(const std::string& name);

}  // namespace camsim

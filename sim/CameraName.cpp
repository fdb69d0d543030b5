#include "CameraName.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "format/PseudoRandomFill.h"

namespace camsim {

bool isValidCameraName(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameLength || name.front() == '.') return false;
    return std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 || c == '-' || c == '_' || c == '.';
    });
}

bool isValidSerial(const std::string& serial) {
    return serial.size() == kSerialLength &&
           std::all_of(serial.begin(), serial.end(), [](unsigned char c) { return std::isalnum(c) != 0; });
}

std::string defaultSerialFor(const std::string& name) {
    constexpr uint64_t kSerialMask = 0xFFFFFFFFFFFFull;  // 48 bits = 12 hex digits
    char text[kSerialLength + 1];
    std::snprintf(text, sizeof text, "%012llX",
                  static_cast<unsigned long long>(veltrion::seedFromText(name) & kSerialMask));
    return text;
}

}  // namespace camsim

#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veltrion {

class Logger;

constexpr uint16_t kCameraVendorId = 0x3a7c;
constexpr uint16_t kBootLoaderVendorId = 0x04b4;
constexpr uint16_t kBootLoaderProductId = 0x00f3;

// One USB identity of the camera line.
struct CameraIdentity {
    const char* key;  // "%04x:%04x", lower case
    uint16_t vendorId;
    uint16_t productId;
    const char* firmwareGroup;
    const char* productName;
    const char* modelDescription;
    const char* versionCode;  // first two characters of the FX3 version text
};

// The eight identities of the line, in table order.
const std::vector<CameraIdentity>& cameraIdentities();

// Identity of a vendor/product pair, or null.
const CameraIdentity* findCameraIdentity(uint16_t vendorId, uint16_t productId);

// "%04x:%04x" of the pair.
std::string vidPidKey(uint16_t vendorId, uint16_t productId);

std::string getFwGroupFromVidPid(uint16_t vendorId, uint16_t productId);
std::string getFwGroupFromFx3VerStr(const std::string& fx3Version);
std::string getVidPidStrFromFx3VerStr(const std::string& fx3Version);
bool getVidPidFromFx3VerStr(uint16_t& vendorId, uint16_t& productId, const std::string& fx3Version,
                            Logger& logger);
std::string getProductNameFromVidPid(uint16_t vendorId, uint16_t productId);

// The text read as a hexadecimal number (white space, sign and 0x accepted);
// any conversion error or out-of-range value gives 0; the low 16 bits are kept.
uint16_t hexToUint16(const std::string& text);

}  // namespace veltrion

#include "CameraIdentity.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "base/Logger.h"

namespace veltrion {

const std::vector<CameraIdentity>& cameraIdentities() {
    static const std::vector<CameraIdentity> table = {
        {"3a7c:0002", 0x3a7c, 0x0002, "V2G", "Veltrion", "V2 Video Audio", "X0"},
        {"3a7c:8002", 0x3a7c, 0x8002, "V2G", "Veltrion", "V2 Video Only", "X1"},
        {"3a7c:c002", 0x3a7c, 0xc002, "V2sG", "Veltrion Non-Panoramic", "V2s Video Audio", "X2"},
        {"3a7c:d002", 0x3a7c, 0xd002, "V2sG", "Veltrion Non-Panoramic", "V2s Video Only", "X3"},
        {"3a7c:0003", 0x3a7c, 0x0003, "V3G", "Veltrion 3", "V3 Video Audio", "C0"},
        {"3a7c:8003", 0x3a7c, 0x8003, "V3G", "Veltrion 3", "V3 Video Only", "C1"},
        {"3a7c:4003", 0x3a7c, 0x4003, "V3G", "Veltrion 3", "V3 Video Audio", "S0"},
        {"3a7c:6003", 0x3a7c, 0x6003, "V3G", "Veltrion 3", "V3 Video Only", "S1"},
    };
    return table;
}

std::string vidPidKey(uint16_t vendorId, uint16_t productId) {
    char key[16];
    std::snprintf(key, sizeof key, "%04x:%04x", vendorId, productId);
    return key;
}

namespace {

const CameraIdentity* findByKey(const std::string& key) {
    for (const auto& identity : cameraIdentities())
        if (key == identity.key) return &identity;
    return nullptr;
}

const CameraIdentity* findByFx3Version(const std::string& fx3Version) {
    const std::string code = fx3Version.substr(0, 2);
    for (const auto& identity : cameraIdentities())
        if (code == identity.versionCode) return &identity;
    return nullptr;
}

}  // namespace

const CameraIdentity* findCameraIdentity(uint16_t vendorId, uint16_t productId) {
    return findByKey(vidPidKey(vendorId, productId));
}

std::string getFwGroupFromVidPid(uint16_t vendorId, uint16_t productId) {
    const CameraIdentity* identity = findCameraIdentity(vendorId, productId);
    return identity ? identity->firmwareGroup : "";
}

std::string getFwGroupFromFx3VerStr(const std::string& fx3Version) {
    const CameraIdentity* identity = findByFx3Version(fx3Version);
    return identity ? identity->firmwareGroup : "";
}

std::string getVidPidStrFromFx3VerStr(const std::string& fx3Version) {
    const CameraIdentity* identity = findByFx3Version(fx3Version);
    return identity ? identity->key : "";
}

bool getVidPidFromFx3VerStr(uint16_t& vendorId, uint16_t& productId, const std::string& fx3Version,
                            Logger& logger) {
    const std::string text = getVidPidStrFromFx3VerStr(fx3Version);
    if (text.find(':') == std::string::npos || text.size() != 9) {
        logger.log(kLogError, "Veltrion2CamMgr::getVidPidFromFx3VerStr - invalid vidpid string %s\n",
                   text.c_str());
        return false;
    }
    vendorId = hexToUint16(text.substr(0, 4));
    productId = hexToUint16(text.substr(5, 4));
    return true;
}

std::string getProductNameFromVidPid(uint16_t vendorId, uint16_t productId) {
    const CameraIdentity* identity = findCameraIdentity(vendorId, productId);
    return identity ? identity->productName : "";
}

uint16_t hexToUint16(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 16);
    if (end == text.c_str() || errno != 0) return 0;
    return static_cast<uint16_t>(value & 0xFFFF);
}

}  // namespace veltrion

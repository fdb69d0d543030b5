#include "WinUVCMgr.h"

#include <cstdio>
#include <stdexcept>

#include "MediaSourceCache.h"

namespace veltrion {

WinUVCMgr::WinUVCMgr(AcceptedProducts products, std::unique_ptr<VideoPort> port) {
    if (!port) port = createVideoPort();
    if (!port) throw std::runtime_error("Failed to create XU mgr");
    xuManager_ = std::make_unique<UVCExtensionUnitManager>(std::move(port), products);
}

WinUVCMgr::~WinUVCMgr() { closeDevice(); }

bool WinUVCMgr::enumerateDevices(std::vector<std::string>& keys) { return xuManager_->enumerateDevices(keys); }

bool WinUVCMgr::openDevice(const std::string& key) {
    closeDevice();
    handle_ = xuManager_->openExtensionUnit(kVeltrionExtensionUnitGuid, key);
    return handle_ != nullptr;
}

void WinUVCMgr::closeDevice() { handle_.reset(); }

void WinUVCMgr::releaseDevice() {
    if (handle_) shutDownMediaSource(handle_->symbolicLink);
    closeDevice();
}

bool WinUVCMgr::getDeviceInfo(uint16_t& vendorId, uint16_t& productId, std::string& serial,
                              std::string& friendlyName) {
    if (!handle_) {
        std::printf("WinUVCMgr::setProperty - no device opened\n");
        return false;
    }
    vendorId = handle_->vendorId;
    productId = handle_->productId;
    serial = handle_->serial;
    friendlyName = handle_->friendlyName;
    return true;
}

bool WinUVCMgr::getProperty(uint8_t selector, uint8_t* buffer, uint32_t size) {
    if (!handle_) {
        std::printf("WinUVCMgr::getProperty - no device opened\n");
        return false;
    }
    return xuManager_->getProperty(handle_, selector, buffer, size) >= 0;
}

bool WinUVCMgr::setProperty(uint8_t selector, uint8_t* buffer, uint32_t size) {
    if (!handle_) {
        std::printf("WinUVCMgr::setProperty - no device opened\n");
        return false;
    }
    return xuManager_->setProperty(handle_, selector, buffer, size) >= 0;
}

}  // namespace veltrion

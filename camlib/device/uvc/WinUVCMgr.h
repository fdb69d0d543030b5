#pragma once

#include <memory>

#include "UVCExtensionUnitManager.h"
#include "UVCInterface.h"

namespace veltrion {

// UVCInterface over the extension-unit manager: one open unit at a time.
class WinUVCMgr : public UVCInterface {
public:
    // Throws std::runtime_error("Failed to create XU mgr") when the platform
    // offers no video port. A null port means the platform's.
    explicit WinUVCMgr(AcceptedProducts products = AcceptedProducts::Console, std::unique_ptr<VideoPort> port = nullptr);
    ~WinUVCMgr() override;

    bool enumerateDevices(std::vector<std::string>& keys) override;
    bool openDevice(const std::string& key) override;
    void closeDevice() override;
    void releaseDevice() override;
    bool getDeviceInfo(uint16_t& vendorId, uint16_t& productId, std::string& serial,
                       std::string& friendlyName) override;
    bool getProperty(uint8_t selector, uint8_t* buffer, uint32_t size) override;
    bool setProperty(uint8_t selector, uint8_t* buffer, uint32_t size) override;

    UVCExtensionUnitManager& extensionUnitManager() { return *xuManager_; }
    // The capture source's link of the open unit; empty when none is open.
    std::string openLink() const { return handle_ ? handle_->symbolicLink : std::string(); }

private:
    std::unique_ptr<UVCExtensionUnitManager> xuManager_;
    std::shared_ptr<EUHandle> handle_;
};

}  // namespace veltrion

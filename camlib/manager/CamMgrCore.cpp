#include <stdexcept>

#include "manager/DeviceSession.h"
#include "manager/Veltrion2CamMgr.h"
#include "base/VersionNumber.h"
#include "device/VendorRequests.h"
#include "device/VersionBlock.h"
#include "device/WinDevice.h"
#include "device/uvc/UVCDevice.h"
#include "device/usb/UsbPort.h"

namespace veltrion {

namespace {

constexpr uint16_t kSerialBufferSize = 256;

}  // namespace

Veltrion2CamMgr::Veltrion2CamMgr(bool useVendorChannel, AcceptedProducts products)
    : useVendorChannel_(useVendorChannel), acceptedProducts_(products) {
    device_ = createDevice();
    if (!device_) {
        logger_->log(kLogError, "Veltrion2CamMgr constructor: unable to find supported device for current OS\n");
        throw std::runtime_error("Unsupported OS\n");
    }
}

Veltrion2CamMgr::Veltrion2CamMgr(bool useVendorChannel, std::unique_ptr<B6Device> device)
    : useVendorChannel_(useVendorChannel), device_(std::move(device)) {
    if (!device_) {
        logger_->log(kLogError, "Veltrion2CamMgr constructor: unable to find supported device for current OS\n");
        throw std::runtime_error("Unsupported OS\n");
    }
}

Veltrion2CamMgr::~Veltrion2CamMgr() {
    stopAllROIMonitors();
    stopAllRawFaceMonitors();
}

std::unique_ptr<B6Device> Veltrion2CamMgr::createDevice() {
    // The platform's device objects, tried in order; the first supported one is kept.
    std::unique_ptr<B6Device> device;
    if (useVendorChannel_)
        device = std::make_unique<WinDevice>(createUsbPort());
    else
        device = std::make_unique<UVCDevice>(acceptedProducts_);  // throws "Failed to create XU mgr"
    if (!device->isSupported()) return nullptr;
    return device;
}

bool Veltrion2CamMgr::getCameraList(std::vector<std::string>& paths) {
    paths.clear();
    std::vector<std::string> found;
    if (device_->getVeltrion2DevPaths(found)) paths = std::move(found);
    return !paths.empty();
}

int Veltrion2CamMgr::getNumBrokenCameras() {
    if (!useVendorChannel_) return 0;
    std::vector<std::string> paths;
    if (!device_->getBrokenVeltrion2DevPaths(paths)) return 0;
    return static_cast<int>(paths.size());
}

bool Veltrion2CamMgr::getVeltrion2Info(CameraInfo& info, const std::string& devPath) {
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::getVeltrion2Info failed to open device path %s\n", devPath.c_str());
        return false;
    }
    info = CameraInfo{};

    bool loaded = false, transferOk = false;
    isSystemLoaded(devPath, loaded, transferOk);
    // Firmware that does not know the request is taken as booted on the vendor
    // channel; the UVC channel needs a positive answer.
    info.systemReady = useVendorChannel_ ? (!transferOk || loaded) : (transferOk && loaded);

    if (!getDescriptorInfo(info)) {
        logger_->log(kLogError, "Veltrion2CamMgr::getVeltrion2Info failed - get device descriptor uvc failed\n");
        return false;
    }

    if (info.systemReady) {
        info.versionsRead = false;
        uint8_t block[vreq::kVersionBlockSize] = {};
        if (device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kQuery, 0, vreq::kQueryVersions, block,
                                            sizeof block)) {
            uint32_t* targets[] = {&info.fx3Version, &info.fpgaVersion, &info.audioVersion, &info.ispVersion};
            const auto texts = versionBlockTexts(block);
            for (unsigned k = 0; k < texts.size(); ++k) {
                const std::string& text = texts[k];
                uint32_t value = 0xFFFFFFFF;
                if (!getVersion(text, value))
                    logger_->log(kLogError, "Veltrion2CamMgr::getVeltrion2Info (off %d) failed to convert version %s\n",
                                 vreq::kVersionEntrySize * k, text.c_str());
                *targets[k] = value;
            }
            info.versionsRead = true;
        }
        info.versionsValid = info.versionsRead;
    }
    return true;
}

bool Veltrion2CamMgr::getDescriptorInfo(CameraInfo& info) {
    UsbDeviceDescriptor descriptor;
    if (!device_->getDeviceDescriptor(descriptor)) {
        logger_->log(kLogError, "Veltrion2CamMgr::getDescriptorInfo failed - get device descriptor failed\n");
        device_->closeVeltrion2Dev();
        return false;
    }
    info.vendorId = descriptor.idVendor;
    info.productId = descriptor.idProduct;
    info.usbBusType = descriptor.bcdUSB;

    char serial[kSerialBufferSize] = {};
    if (!device_->getStringDescriptor(descriptor.iSerialNumber, vreq::kLangEnglishUs, serial, sizeof serial)) {
        logger_->log(kLogError, "Veltrion2CamMgr::getDescriptorInfo failed - get serial # string descriptor failed\n");
        device_->closeVeltrion2Dev();
        return false;
    }
    info.serialNumber = serial;
    return true;
}

void Veltrion2CamMgr::isSystemLoaded(const std::string& /*devPath*/, bool& loaded, bool& transferOk) {
    transferOk = true;
    loaded = false;
    uint8_t reply = 0;
    if (!device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kSystemLoaded, 0, 0, &reply, 1)) {
        logger_->log(kLogError, "Veltrion2CamMgr::isSystemLoaded failed - send control transfer failed.\n");
        transferOk = false;
        return;
    }
    loaded = reply != 0;
}

bool Veltrion2CamMgr::queryByte(const std::string& devPath, uint8_t request, uint16_t value, uint16_t index,
                                uint8_t& reply, const char* operation, const char* openFailureText) {
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::%s failed - %s %s\n", operation, openFailureText, devPath.c_str());
        return false;
    }
    if (!device_->sendUsbControlTransfer(vreq::kTypeIn, request, value, index, &reply, 1)) {
        logger_->log(kLogError, "Veltrion2CamMgr::%s failed - control transfer failed\n", operation);
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::getUSBType(const std::string& devPath, int& usbType) {
    uint8_t reply = 0;
    if (!queryByte(devPath, vreq::kQuery, 0, vreq::kQueryUsbType, reply, "getUSBType",
                   "unable to open dev"))
        return false;
    usbType = reply;
    return true;
}

bool Veltrion2CamMgr::getExternalPowerPresent(const std::string& devPath, int& present) {
    uint8_t reply = 0;
    if (!queryByte(devPath, vreq::kQuery, 0, vreq::kQueryExternalPower, reply, "getExternalPowerPresent",
                   "unable to open dev"))
        return false;
    present = reply;
    return true;
}

bool Veltrion2CamMgr::getCamStreamingStatus(const std::string& devPath, bool& streaming) {
    uint8_t reply = 0xFF;
    if (!queryByte(devPath, vreq::kQuery, vreq::kQueryStreamingValue, vreq::kQueryStreaming, reply,
                   "getCamStreamingStatus", "cannot open"))
        return false;
    streaming = reply == vreq::kStreamingActive;
    return true;
}

bool Veltrion2CamMgr::rebootDevice(const std::string& devPath) {
    // A reset in the middle of another writer's job would cut its write off.
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::rebootDevice failed to open device path %s\n", devPath.c_str());
        return false;
    }
    uint8_t reply = 0;
    if (!device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kUsbReset, 0, 0, &reply, 1)) {
        logger_->log(kLogError, "Veltrion2CamMgr::rebootDevice failed - usb reset command failed\n");
        return false;
    }
    session.release();  // the camera is leaving the bus
    return true;
}

bool Veltrion2CamMgr::rebootAllVeltrion2Camera() {
    std::vector<std::string> paths;
    if (!getCameraList(paths)) {
        logger_->log(kLogError, "rebootAllVeltrion2Camera: no devices found\n");
        return true;
    }
    // A camera that cannot be rebooted (busy, gone) does not keep the others
    // from their reboot; the run fails.
    bool allRebooted = true;
    for (const auto& path : paths) {
        if (!rebootDevice(path)) {
            logger_->log(kLogError, "rebootAllVeltrion2Camera: failed to reboot device %s\n", path.c_str());
            allRebooted = false;
        }
    }
    return allRebooted;
}

CameraWriteLock Veltrion2CamMgr::lockCameraForWriting(const std::string& devPath) {
    CameraWriteLock lock = CameraWriteLock::acquire(device_->writerLockFile(devPath));
    switch (lock.status()) {
        case CameraWriteLock::Status::Held:
            break;
        case CameraWriteLock::Status::Busy:
            logger_->log(kLogError,
                         "Veltrion2CamMgr::lockCameraForWriting failed - camera busy: another writer is changing "
                         "camera %s\n",
                         devPath.c_str());
            break;
        case CameraWriteLock::Status::Failed:
            logger_->log(kLogError, "Veltrion2CamMgr::lockCameraForWriting failed - unable to lock camera %s: %s\n",
                         devPath.c_str(), lock.error().c_str());
            break;
    }
    return lock;
}

bool Veltrion2CamMgr::getVersion(const std::string& text, uint32_t& version) {
    uint32_t packed = 0;
    switch (parseVersionText(text, packed)) {
        case VersionParse::Empty:
            return false;
        case VersionParse::BadFormat:
            logger_->log(kLogError, "Veltrion2CamMgr::getVersion - invalid version format %s\n", text.c_str());
            return false;
        case VersionParse::Ok:
            break;
    }
    version = packed;
    return true;
}

std::string Veltrion2CamMgr::versionToString(uint32_t version) { return formatVersion(version); }

uint16_t Veltrion2CamMgr::fletcher16(const uint8_t* data, size_t length) { return veltrion::fletcher16(data, length); }

}  // namespace veltrion

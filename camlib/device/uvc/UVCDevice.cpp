#include "UVCDevice.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

#include "CameraExchangeLock.h"
#include "ExtensionUnitControls.h"
#include "base/ByteLayout.h"
#include "base/WaitClock.h"
#include "device/VendorRequests.h"
#include "device/usb/UsbPort.h"

namespace veltrion {

namespace {

constexpr uint8_t kSerialStringIndex = 3;
constexpr uint16_t kSerialCopyLength = 12;
constexpr uint16_t kMinSerialBuffer = kSerialCopyLength + 1;

// The synthesised device descriptor: what the video function tells of the
// camera, in the fields the manager reads.
constexpr uint8_t kDescriptorLength = 0x12;
constexpr uint8_t kMiscDeviceClass = 0xEF;
constexpr uint8_t kCommonSubclass = 0x02;
constexpr uint8_t kInterfaceAssociationProtocol = 0x01;
constexpr uint8_t kMaxPacketSize0 = 0x09;
constexpr uint16_t kDeviceRelease = 0x0002;
constexpr uint8_t kManufacturerString = 1;
constexpr uint8_t kProductString = 4;

// The camera needs time to work out a component checksum before its reply
// can be read; how long depends on the component (wValue).
std::chrono::milliseconds checksumWait(uint16_t component) {
    using std::chrono::milliseconds;
    switch (component) {
        case 0:
        case 5: return milliseconds(10);
        case 1:
        case 2: return milliseconds(300);
        case 3: return milliseconds(3300);
        case 4: return milliseconds(70);
        default: return milliseconds(0);
    }
}

std::array<uint8_t, xu::kHeaderSize> requestHeader(uint8_t request, uint16_t value, uint16_t index, uint16_t length) {
    std::vector<uint8_t> bytes;
    ByteWriter out(bytes);
    out.u8(request);
    out.le16(value);
    out.le16(index);
    out.le16(length);
    std::array<uint8_t, xu::kHeaderSize> header{};
    std::copy(bytes.begin(), bytes.end(), header.begin());
    return header;
}

// "v4l:..." and "simv:..." links name the same camera place as the vendor
// channel's "usb:..." and "sim:..." paths.
std::string usbPathOfLink(const std::string& link) {
    for (const auto& [video, usb] : {std::pair<std::string, std::string>{"v4l:", "usb:"}, {"simv:", "sim:"}}) {
        if (link.compare(0, video.size(), video) == 0) return usb + link.substr(video.size());
    }
    return {};
}

}  // namespace

UVCDevice::UVCDevice(AcceptedProducts products, std::unique_ptr<VideoPort> port)
    : mgr_(std::make_unique<WinUVCMgr>(products, std::move(port))) {}

UVCDevice::~UVCDevice() { closeVeltrion2Dev(); }

bool UVCDevice::getVeltrion2DevPaths(std::vector<std::string>& paths) {
    paths.clear();
    return mgr_->enumerateDevices(paths);
}

bool UVCDevice::getBrokenVeltrion2DevPaths(std::vector<std::string>& paths) {
    paths.clear();
    return false;  // a controller in boot mode has no video function
}

bool UVCDevice::openVeltrion2Dev(const std::string& devPath) {
    closeVeltrion2Dev();
    if (!mgr_->openDevice(devPath)) return false;
    key_ = devPath;
    opened_ = true;
    exchangeLock_ = cameraExchangeLock(mgr_->openLink());
    exchangeLockFile_ = exchangeLockFileFor(writerLockFileOfLink(mgr_->openLink()));
    return true;
}

void UVCDevice::closeVeltrion2Dev() {
    mgr_->closeDevice();
    opened_ = false;
}

void UVCDevice::releaseVeltrion2Dev() {
    mgr_->releaseDevice();
    opened_ = false;
}

bool UVCDevice::reopenVeltrion2Dev() {
    if (key_.empty()) {
        logger_->log(kLogError, "reopenVeltrion2Dev: no device opened before\n");
        return false;
    }
    closeVeltrion2Dev();
    logger_->log(kLogInfo, "reopenVeltrion2Dev: reopenning dev %s\n", key_.c_str());
    return openVeltrion2Dev(key_);
}

bool UVCDevice::getDeviceDescriptor(UsbDeviceDescriptor& descriptor) {
    if (!opened_) {
        logger_->log(kLogError, "getDeviceDescriptor: no device opened\n");
        return false;
    }
    uint16_t vendorId = 0, productId = 0;
    std::string serial, name;
    if (!mgr_->getDeviceInfo(vendorId, productId, serial, name)) {
        logger_->log(kLogError, "getVeltrionDeviceInfo: failed to get device information\n");
        return false;
    }
    descriptor = UsbDeviceDescriptor{};
    descriptor.bLength = kDescriptorLength;
    descriptor.bDescriptorType = vreq::kDescriptorDevice;
    descriptor.bcdUSB = 0x0000;  // the video function does not tell the bus speed
    descriptor.bDeviceClass = kMiscDeviceClass;
    descriptor.bDeviceSubClass = kCommonSubclass;
    descriptor.bDeviceProtocol = kInterfaceAssociationProtocol;
    descriptor.bMaxPacketSize0 = kMaxPacketSize0;
    descriptor.idVendor = vendorId;
    descriptor.idProduct = productId;
    descriptor.bcdDevice = kDeviceRelease;
    descriptor.iManufacturer = kManufacturerString;
    descriptor.iProduct = kProductString;
    descriptor.iSerialNumber = kSerialStringIndex;
    descriptor.bNumConfigurations = 1;
    return true;
}

bool UVCDevice::getStringDescriptor(uint8_t index, uint16_t languageId, char* buffer, uint16_t bufferSize) {
    (void)languageId;
    if (!opened_) {
        logger_->log(kLogError, "getStringDescriptor: no device opened\n");
        return false;
    }
    if (index != kSerialStringIndex) {
        logger_->log(kLogError, "getStringDescriptor: invalid index 0x%x\n", index);
        return false;
    }
    if (!buffer || bufferSize < kMinSerialBuffer) {
        logger_->log(kLogError, "getStringDescriptor: buffer size too small\n");
        return false;
    }
    uint16_t vendorId = 0, productId = 0;
    std::string serial, name;
    if (!mgr_->getDeviceInfo(vendorId, productId, serial, name)) {
        logger_->log(kLogError, "getStringDescriptor: failed to get device information\n");
        return false;
    }
    // At most the serial's own length: a short serial is never read past.
    const size_t count = std::min<size_t>(serial.size(), kSerialCopyLength);
    std::memcpy(buffer, serial.data(), count);
    buffer[count] = '\0';
    buffer[kSerialCopyLength] = '\0';
    return true;
}

bool UVCDevice::getByte(uint8_t selector, uint8_t& byte) { return mgr_->getProperty(selector, &byte, 1); }

bool UVCDevice::sendUsbControlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                                       uint8_t* data, uint16_t length) {
    if (!mgr_) return false;
    if (!opened_) {
        logger_->log(kLogError, "sendUsbControlTransfer: no device opened\n");
        return false;
    }
    if (requestType != vreq::kTypeIn && requestType != vreq::kTypeOut) {
        logger_->log(kLogError, "sendUsbControlTransfer: invalid request_type. Only vendor command is supported\n");
        return false;
    }
    if (length == 0 || length > xu::kMaxData || !data) {
        logger_->log(kLogError, "sendUsbControlTransfer: maximum supported length = %d, requested data_size = %d\n",
                     xu::kMaxData, length);
        return false;
    }
    // One request at a time on the camera, whoever sends it.
    const CameraExchange exchange(*exchangeLock_, exchangeLockFile_);
    if (!exchange) {
        logger_->log(kLogError, "sendUsbControlTransfer: camera %s busy at bRequest 0x%x: %s\n", key_.c_str(), request,
                     exchange.error().c_str());
        return false;
    }
    if (requestType == vreq::kTypeIn) return sendDeviceToHost(request, value, index, data, length);
    return sendHostToDevice(request, value, index, data, length);
}

bool UVCDevice::sendDeviceToHost(uint8_t request, uint16_t value, uint16_t index, uint8_t* data, uint16_t length) {
    switch (request) {
        case vreq::kFlashStatusSync:
            if (!getByte(xu::kGetSpiRead, data[0])) {
                logger_->log(kLogError, "sendUsbControlTransfer: getProperty EU_CTRL_GET_SPI_READ failed\n");
                return false;
            }
            return true;
        case vreq::kFpgaLoaded:
            if (!getByte(xu::kGetFpgaLoaded, data[0])) {
                logger_->log(kLogError, "sendUsbControlTransfer: getProperty EU_CTRL_GET_FPGA_LOADED failed\n");
                return false;
            }
            return true;
        case vreq::kSystemLoaded:
            if (!getByte(xu::kGetSystemProgrammed, data[0])) {
                logger_->log(kLogError, "sendUsbControlTransfer: getProperty EU_CTRL_GET_SYSTEM_PROGRAMMED failed\n");
                return false;
            }
            return true;
        case vreq::kLed: {
            uint8_t on = value != 0 ? 1 : 0;
            if (!mgr_->setProperty(xu::kLedOnOff, &on, 1)) {
                logger_->log(kLogError, "sendUsbControlTransfer: setProperty EU_CTRL_LED_ON_OFF failed\n");
                return false;
            }
            data[0] = 1;
            return true;
        }
        case vreq::kSpiModeEnter:
            // The video function keeps the flash reachable: nothing to send.
            data[0] = 1;
            return true;
        case vreq::kFlashErase64K:
        case vreq::kFlashErase32K:
        case vreq::kFlashErase4K:
        case vreq::kUsbReset: {
            auto header = requestHeader(request, value, index, length);
            if (!mgr_->setProperty(xu::kGeneric7BXfer, header.data(), xu::kHeaderSize)) {
                logger_->log(kLogError,
                             "sendUsbControlTransfer: setProperty EU_CTRL_GENERIC_7B_XFER failed at bRequest 0x%x\n",
                             request);
                return false;
            }
            data[0] = 1;
            return true;
        }
        default:
            break;
    }
    if (request == vreq::kQuery && index == vreq::kQueryPreset) {
        std::array<uint8_t, xu::kPresetSize> preset{};
        preset[0] = static_cast<uint8_t>(value & 0xFF);
        preset[1] = static_cast<uint8_t>(value >> 8);
        if (!mgr_->setProperty(xu::kPresetPropId, preset.data(), xu::kPresetSize)) {
            logger_->log(kLogError, "sendUsbControlTransfer: setProperty EU_CTRL_PRESET_PROP_ID failed\n");
            return false;
        }
        data[0] = 1;
        return true;
    }

    // Header, then the reply it latched: one exchange, under the camera's
    // exchange lock.
    auto header = requestHeader(request, value, index, length);
    if (!mgr_->setProperty(xu::kGeneric7BXfer, header.data(), xu::kHeaderSize)) {
        logger_->log(kLogError, "sendUsbControlTransfer: setProperty EU_CTRL_GENERIC_7B_XFER failed at bRequest 0x%x\n",
                     request);
        return false;
    }
    if (request == vreq::kQuery && index == vreq::kQueryComponentChecksum)
        WaitClock::sleepFor(checksumWait(value));
    std::array<uint8_t, xu::kReplySize> reply{};
    if (!mgr_->getProperty(xu::kGeneric256BXfer, reply.data(), xu::kReplySize)) {
        logger_->log(kLogError,
                     "sendUsbControlTransfer: getProperty EU_CTRL_GENERIC_256B_XFER failed at bRequest 0x%x\n", request);
        return false;
    }
    std::memcpy(data, reply.data(), length);
    return true;
}

bool UVCDevice::sendHostToDevice(uint8_t request, uint16_t value, uint16_t index, const uint8_t* data,
                                 uint16_t length) {
    std::array<uint8_t, xu::kHeaderAndDataSize> block{};
    const auto header = requestHeader(request, value, index, length);
    std::copy(header.begin(), header.end(), block.begin());
    std::memcpy(block.data() + xu::kHeaderSize, data, length);
    if (!mgr_->setProperty(xu::kGeneric263BXfer, block.data(), xu::kHeaderAndDataSize)) {
        logger_->log(kLogError,
                     "sendUsbControlTransfer: setProperty EU_CTRL_GENERIC_263B_XFER failed at bRequest 0x%x\n", request);
        return false;
    }
    return true;
}

std::string UVCDevice::writerLockFile(const std::string& devPath) const {
    std::vector<CameraSource> cameras;
    mgr_->extensionUnitManager().enumerateCameras(cameras);
    CameraSource camera;
    if (!UVCExtensionUnitManager::findCamera(cameras, devPath, camera)) return {};
    return writerLockFileOfLink(camera.symbolicLink);
}

std::string UVCDevice::writerLockFileOfLink(const std::string& symbolicLink) const {
    const std::string usbPath = usbPathOfLink(symbolicLink);
    if (usbPath.empty()) return {};
    const auto port = createUsbPort();
    return port ? port->writerLockFile(usbPath) : std::string();
}

}  // namespace veltrion

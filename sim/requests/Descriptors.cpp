// Standard GET_DESCRIPTOR: the device descriptor and the string descriptors,
// for the running camera and for the ROM boot loader.

#include <string>
#include <vector>

#include "Camera.h"
#include "device/CameraIdentity.h"
#include "device/VendorRequests.h"
#include "device/usb/UsbPort.h"
#include "base/ByteLayout.h"

namespace camsim {

namespace vreq = veltrion::vreq;

namespace {

constexpr uint16_t kBcdUsb3 = 0x0300;
constexpr uint16_t kBcdUsb2 = 0x0210;
constexpr uint16_t kBcdUsbBootLoader = 0x0200;
constexpr int kUsbTypeSuperSpeed = 3;
// bMaxPacketSize0: an exponent on SuperSpeed (2^9 = 512), bytes otherwise.
constexpr uint8_t kMaxPacket0SuperSpeed = 9;
constexpr uint8_t kMaxPacket0HighSpeed = 64;
// A composite video and audio device with interface associations.
constexpr uint8_t kClassMiscellaneous = 0xEF;
constexpr uint8_t kSubClassCommon = 0x02;
constexpr uint8_t kProtocolIad = 0x01;
constexpr uint16_t kBcdDevice = 0x0100;
constexpr uint8_t kNumConfigurations = 1;

constexpr uint8_t kStringLanguages = 0;
constexpr uint8_t kStringManufacturer = 1;
constexpr uint8_t kStringProduct = 2;
constexpr uint8_t kStringSerial = 3;
constexpr uint8_t kNoString = 0;

constexpr const char* kManufacturer = "Vemto";
constexpr const char* kBootLoaderProduct = "WestBridge";
// bLength is one byte: 2 header bytes and at most 126 UTF-16 units.
constexpr size_t kMaxStringUnits = 126;

std::vector<uint8_t> stringDescriptor(const std::string& text) {
    const size_t units = std::min(text.size(), kMaxStringUnits);
    std::vector<uint8_t> out;
    veltrion::ByteWriter writer(out);
    writer.u8(static_cast<uint8_t>(2 + 2 * units));
    writer.u8(vreq::kDescriptorString);
    for (size_t i = 0; i < units; ++i) writer.le16(static_cast<uint8_t>(text[i]));
    return out;
}

}  // namespace

int Camera::handleStandard(const SetupPacket& setup, uint8_t* data) {
    if (setup.requestType != vreq::kStdTypeIn || setup.request != vreq::kStdGetDescriptor)
        return veltrion::kUsbErrorPipe;
    switch (setup.value >> 8) {
        case vreq::kDescriptorDevice: return handleDeviceDescriptor(setup, data);
        case vreq::kDescriptorString: return handleStringDescriptor(setup, data);
        default: return veltrion::kUsbErrorPipe;
    }
}

int Camera::handleDeviceDescriptor(const SetupPacket& setup, uint8_t* data) {
    const BusView view = busViewLocked();
    const bool superSpeed = !view.bootLoader && state_->run.usbType == kUsbTypeSuperSpeed;
    std::vector<uint8_t> out;
    veltrion::ByteWriter writer(out);
    writer.u8(static_cast<uint8_t>(vreq::kDeviceDescriptorSize));
    writer.u8(vreq::kDescriptorDevice);
    writer.le16(view.bootLoader ? kBcdUsbBootLoader : superSpeed ? kBcdUsb3 : kBcdUsb2);
    writer.u8(view.bootLoader ? 0 : kClassMiscellaneous);
    writer.u8(view.bootLoader ? 0 : kSubClassCommon);
    writer.u8(view.bootLoader ? 0 : kProtocolIad);
    writer.u8(superSpeed ? kMaxPacket0SuperSpeed : kMaxPacket0HighSpeed);
    writer.le16(view.vendorId);
    writer.le16(view.productId);
    writer.le16(kBcdDevice);
    writer.u8(view.bootLoader ? kNoString : kStringManufacturer);
    writer.u8(kStringProduct);
    writer.u8(view.bootLoader ? kNoString : kStringSerial);
    writer.u8(kNumConfigurations);
    return replyIn(setup, data, out);
}

int Camera::handleStringDescriptor(const SetupPacket& setup, uint8_t* data) {
    const uint8_t index = static_cast<uint8_t>(setup.value & 0xFF);
    const bool bootLoader = state_->running.mode == RunMode::BootLoader;
    if (index == kStringLanguages) {
        std::vector<uint8_t> out;
        veltrion::ByteWriter writer(out);
        writer.u8(4);
        writer.u8(vreq::kDescriptorString);
        writer.le16(vreq::kLangEnglishUs);
        return replyIn(setup, data, out);
    }
    std::string text;
    if (bootLoader) {
        if (index != kStringProduct) return veltrion::kUsbErrorPipe;
        text = kBootLoaderProduct;
    } else if (index == kStringManufacturer) {
        text = kManufacturer;
    } else if (index == kStringProduct) {
        text = veltrion::getProductNameFromVidPid(state_->identity.vendorId, state_->identity.productId);
    } else if (index == kStringSerial) {
        text = state_->identity.serialAnswer.value_or(state_->identity.serial);
    } else {
        return veltrion::kUsbErrorPipe;
    }
    return replyIn(setup, data, stringDescriptor(text));
}

}  // namespace camsim

#include "SysfsDevice.h"

#include <cstdio>
#include <span>

#include "ConfigDescriptor.h"
#include "device/CameraIdentity.h"
#include "device/VendorRequests.h"
#include "base/ByteLayout.h"

namespace veltrion::realports {

namespace {

constexpr uint8_t kDescriptorConfiguration = 0x02;
constexpr uint16_t kConfigurationHeaderSize = 9;
constexpr size_t kTotalLengthOffset = 2;
constexpr size_t kStringFirstUnit = 2;

// Device descriptor fields.
constexpr size_t kBcdUsbOffset = 2;
constexpr size_t kClassOffset = 4;
constexpr size_t kSubClassOffset = 5;
constexpr size_t kProtocolOffset = 6;
constexpr size_t kMaxPacket0Offset = 7;
constexpr size_t kVendorOffset = 8;
constexpr size_t kProductOffset = 10;
constexpr size_t kBcdDeviceOffset = 12;
constexpr size_t kManufacturerIndexOffset = 14;
constexpr size_t kProductIndexOffset = 15;
constexpr size_t kSerialIndexOffset = 16;
constexpr size_t kConfigurationCountOffset = 17;

constexpr int kUsbDeviceMajor = 189;     // usb_device character devices
constexpr int kDevicesPerBus = 128;      // minor = (bus - 1) * 128 + address - 1
constexpr const char* kControllerPath = "/devices/pci0000:00/0000:00:14.0";
constexpr const char* kSuperSpeedMbps = "5000";
constexpr const char* kHighSpeedMbps = "480";

constexpr uint16_t kLinuxFoundationVendorId = 0x1d6b;
constexpr uint16_t kSuperSpeedRootHubProductId = 0x0003;
constexpr uint16_t kRootHubBcdUsb = 0x0300;
constexpr uint16_t kRootHubBcdDevice = 0x0601;
constexpr uint8_t kHubClass = 0x09;
constexpr uint8_t kHubProtocolSuperSpeed = 0x03;
constexpr uint8_t kMaxPacket0SuperSpeed = 9;
constexpr uint8_t kRootHubManufacturer = 3;
constexpr uint8_t kRootHubProduct = 2;
constexpr uint8_t kRootHubSerial = 1;
constexpr int kRootHubPorts = 4;

int getDescriptor(UsbHandle& handle, uint8_t type, uint8_t index, uint16_t language, std::vector<uint8_t>& out,
                  uint16_t length) {
    out.assign(length, 0);
    const int result = handle.controlTransfer(vreq::kStdTypeIn, vreq::kStdGetDescriptor,
                                              static_cast<uint16_t>(type << 8 | index), language, out.data(),
                                              length, kControlTimeoutMs);
    out.resize(result > 0 ? static_cast<size_t>(result) : 0);
    return result;
}

// A string descriptor's text as the kernel shows it in sysfs (these devices
// only use ASCII); empty when the device has no such string.
std::string readString(UsbHandle& handle, uint8_t index, uint16_t language) {
    if (index == 0) return "";
    std::vector<uint8_t> bytes;
    if (getDescriptor(handle, vreq::kDescriptorString, index, language, bytes, vreq::kStringDescriptorMax) < 0)
        return "";
    const ByteReader in(bytes);
    const size_t length = std::min<size_t>(in.u8(0).value_or(0), bytes.size());
    std::string text;
    for (size_t at = kStringFirstUnit; at + 1 < length; at += 2) text.push_back(static_cast<char>(*in.u8(at)));
    return text;
}

std::vector<uint8_t> configurationOfKind(const EnumeratedDevice& device) {
    if (device.vendorId() == kBootLoaderVendorId && device.productId() == kBootLoaderProductId)
        return bootLoaderConfiguration();
    // A camera of the line, or a simulated camera given another maker's ids:
    // a UVC camera all the same, without audio when its model is unknown.
    const CameraIdentity* identity = findCameraIdentity(device.vendorId(), device.productId());
    const bool withAudio = identity && std::string(identity->modelDescription).find("Audio") != std::string::npos;
    return cameraConfiguration(device.superSpeed(), withAudio);
}

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

std::string upperHex(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (uint8_t byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

std::string threeDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%03d", value);
    return text;
}

// "3.00" from 0x0300, as the kernel's "version" attribute shows bcdUSB.
std::string usbVersion(uint16_t bcd) {
    char text[16];
    std::snprintf(text, sizeof text, "%2x.%02x", bcd >> 8, bcd & 0xFF);
    return text;
}

}  // namespace

std::string BusPlace::sysName() const {
    if (port == 0) return "usb" + std::to_string(bus);
    return std::to_string(bus) + "-" + std::to_string(port);
}

std::string BusPlace::sysPath() const {
    const std::string hub = std::string("/sys") + kControllerPath + "/usb" + std::to_string(bus);
    return port == 0 ? hub : hub + "/" + sysName();
}

std::string BusPlace::devNode() const { return "/dev/bus/usb/" + threeDigits(bus) + "/" + threeDigits(deviceNumber); }

uint16_t EnumeratedDevice::vendorId() const { return ByteReader(deviceDescriptor).le16(kVendorOffset).value_or(0); }
uint16_t EnumeratedDevice::productId() const { return ByteReader(deviceDescriptor).le16(kProductOffset).value_or(0); }
uint16_t EnumeratedDevice::bcdUsb() const { return ByteReader(deviceDescriptor).le16(kBcdUsbOffset).value_or(0); }

int enumerateDevice(UsbHandle& handle, EnumeratedDevice& device) {
    device = {};
    const int result = getDescriptor(handle, vreq::kDescriptorDevice, 0, 0, device.deviceDescriptor,
                                     vreq::kDeviceDescriptorSize);
    if (result < 0) return result;
    if (result != vreq::kDeviceDescriptorSize) return kUsbErrorIo;

    std::vector<uint8_t> header;
    if (getDescriptor(handle, kDescriptorConfiguration, 0, 0, header, kConfigurationHeaderSize) ==
        kConfigurationHeaderSize) {
        const uint16_t total = ByteReader(header).le16(kTotalLengthOffset).value_or(0);
        if (total < kConfigurationHeaderSize ||
            getDescriptor(handle, kDescriptorConfiguration, 0, 0, device.configuration, total) != total)
            return kUsbErrorIo;
    } else {
        device.configuration = configurationOfKind(device);
    }

    std::vector<uint8_t> languages;
    getDescriptor(handle, vreq::kDescriptorString, 0, 0, languages, vreq::kStringDescriptorMax);
    const uint16_t language = ByteReader(languages).le16(kStringFirstUnit).value_or(vreq::kLangEnglishUs);
    const ByteReader in(device.deviceDescriptor);
    device.manufacturer = readString(handle, *in.u8(kManufacturerIndexOffset), language);
    device.product = readString(handle, *in.u8(kProductIndexOffset), language);
    device.serial = readString(handle, *in.u8(kSerialIndexOffset), language);
    return 0;
}

EnumeratedDevice rootHub() {
    EnumeratedDevice hub;
    ByteWriter out(hub.deviceDescriptor);
    out.u8(static_cast<uint8_t>(vreq::kDeviceDescriptorSize));
    out.u8(vreq::kDescriptorDevice);
    out.le16(kRootHubBcdUsb);
    out.u8(kHubClass);
    out.u8(0);
    out.u8(kHubProtocolSuperSpeed);
    out.u8(kMaxPacket0SuperSpeed);
    out.le16(kLinuxFoundationVendorId);
    out.le16(kSuperSpeedRootHubProductId);
    out.le16(kRootHubBcdDevice);
    out.u8(kRootHubManufacturer);
    out.u8(kRootHubProduct);
    out.u8(kRootHubSerial);
    out.u8(1);  // bNumConfigurations
    hub.configuration = rootHubConfiguration();
    hub.manufacturer = "Linux 6.1.0 xhci-hcd";
    hub.product = "xHCI Host Controller";
    hub.serial = "0000:00:14.0";
    return hub;
}

std::string testbedRecord(const BusPlace& place, const EnumeratedDevice& device) {
    const ByteReader in(device.deviceDescriptor);
    const std::string node = place.devNode();
    std::string record;
    auto line = [&record](const char* kind, const std::string& text) { record += kind + text + "\n"; };
    // Attribute files end with a newline, as the kernel writes them.
    auto attribute = [&line](const std::string& name, const std::string& value) {
        line("A: ", name + "=" + value + "\\n");
    };

    line("P: ", place.sysPath().substr(std::string("/sys").size()));
    line("N: ", node.substr(std::string("/dev/").size()));
    line("E: ", "SUBSYSTEM=usb");
    line("E: ", "DEVTYPE=usb_device");
    line("E: ", "DRIVER=usb");
    line("E: ", "DEVNAME=" + node);
    line("E: ", "BUSNUM=" + threeDigits(place.bus));
    line("E: ", "DEVNUM=" + threeDigits(place.deviceNumber));
    line("E: ", "MAJOR=" + std::to_string(kUsbDeviceMajor));
    line("E: ", "MINOR=" + std::to_string((place.bus - 1) * kDevicesPerBus + place.deviceNumber - 1));
    line("E: ", "PRODUCT=" + hex(device.vendorId(), 1) + "/" + hex(device.productId(), 1) + "/" +
                    hex(*in.le16(kBcdDeviceOffset), 1));
    line("E: ", "TYPE=" + std::to_string(*in.u8(kClassOffset)) + "/" + std::to_string(*in.u8(kSubClassOffset)) + "/" +
                    std::to_string(*in.u8(kProtocolOffset)));

    attribute("idVendor", hex(device.vendorId(), 4));
    attribute("idProduct", hex(device.productId(), 4));
    attribute("bcdDevice", hex(*in.le16(kBcdDeviceOffset), 4));
    attribute("bDeviceClass", hex(*in.u8(kClassOffset), 2));
    attribute("bDeviceSubClass", hex(*in.u8(kSubClassOffset), 2));
    attribute("bDeviceProtocol", hex(*in.u8(kProtocolOffset), 2));
    attribute("bMaxPacketSize0", std::to_string(*in.u8(kMaxPacket0Offset)));
    attribute("bNumConfigurations", std::to_string(*in.u8(kConfigurationCountOffset)));
    attribute("bConfigurationValue", "1");
    attribute("busnum", std::to_string(place.bus));
    attribute("devnum", std::to_string(place.deviceNumber));
    attribute("devpath", std::to_string(place.port));
    attribute("maxchild", std::to_string(place.port == 0 ? kRootHubPorts : 0));
    attribute("speed", device.superSpeed() ? kSuperSpeedMbps : kHighSpeedMbps);
    attribute("version", usbVersion(device.bcdUsb()));
    if (!device.manufacturer.empty()) attribute("manufacturer", device.manufacturer);
    if (!device.product.empty()) attribute("product", device.product);
    if (!device.serial.empty()) attribute("serial", device.serial);

    std::vector<uint8_t> descriptors = device.deviceDescriptor;
    descriptors.insert(descriptors.end(), device.configuration.begin(), device.configuration.end());
    line("H: ", "descriptors=" + upperHex(descriptors));
    return record;
}

}  // namespace veltrion::realports

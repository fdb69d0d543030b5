#include "ConfigDescriptor.h"

#include "Camera.h"
#include "base/ByteLayout.h"

namespace veltrion::realports {

namespace {

// Standard descriptor types and sizes.
constexpr uint8_t kTypeConfiguration = 0x02;
constexpr uint8_t kTypeInterface = 0x04;
constexpr uint8_t kTypeEndpoint = 0x05;
constexpr uint8_t kTypeInterfaceAssociation = 0x0B;
constexpr uint8_t kTypeSsEndpointCompanion = 0x30;
constexpr uint8_t kConfigurationSize = 9;
constexpr uint8_t kInterfaceSize = 9;
constexpr uint8_t kEndpointSize = 7;
constexpr uint8_t kAssociationSize = 8;
constexpr uint8_t kSsCompanionSize = 6;
constexpr size_t kTotalLengthOffset = 2;

constexpr uint8_t kConfigurationValue = 1;
constexpr uint8_t kAttributesBusPowered = 0x80;
constexpr uint8_t kAttributesSelfPowered = 0xE0;
// bMaxPower counts 8 mA on SuperSpeed and 2 mA otherwise.
constexpr uint8_t kMaxPowerSuperSpeed = 112;  // 896 mA
constexpr uint8_t kMaxPowerHighSpeed = 250;   // 500 mA
constexpr uint8_t kMaxPowerBootLoader = 50;   // 100 mA

constexpr uint8_t kEndpointBulk = 0x02;
constexpr uint8_t kEndpointInterrupt = 0x03;
constexpr uint8_t kEndpointIn = 0x80;
constexpr uint16_t kBulkPacketSuperSpeed = 1024;
constexpr uint16_t kBulkPacketHighSpeed = 512;
constexpr uint8_t kSsMaxBurst = 15;

// Class-specific descriptors share one type byte.
constexpr uint8_t kTypeClassInterface = 0x24;

// Video.
constexpr uint8_t kClassVideo = 0x0E;
constexpr uint8_t kSubClassVideoControl = 0x01;
constexpr uint8_t kSubClassVideoStreaming = 0x02;
constexpr uint8_t kSubClassVideoCollection = 0x03;
constexpr uint8_t kVsInputHeader = 0x01;
constexpr uint8_t kOutputTerminalId = 4;  // the VideoControl block's streaming output terminal
constexpr uint8_t kVideoStreamingEndpoint = 0x01 | kEndpointIn;
constexpr uint8_t kVsHeaderSize = 13;
constexpr uint8_t kAcHeaderSize = 9;

// Audio (class 1.0).
constexpr uint8_t kClassAudio = 0x01;
constexpr uint8_t kSubClassAudioControl = 0x01;
constexpr uint8_t kSubClassAudioStreaming = 0x02;
constexpr uint8_t kAcHeader = 0x01;
constexpr uint16_t kAudioVersion = 0x0100;

// Interface numbers of the camera.
constexpr uint8_t kVideoControlInterface = 0;
constexpr uint8_t kVideoStreamingInterface = 1;
constexpr uint8_t kAudioControlInterface = 2;
constexpr uint8_t kAudioStreamingInterface = 3;
constexpr uint8_t kProductString = 2;

// Vendor-specific and hub classes.
constexpr uint8_t kClassVendor = 0xFF;
constexpr uint8_t kClassHub = 0x09;
constexpr uint8_t kHubStatusEndpoint = 0x01 | kEndpointIn;
constexpr uint16_t kHubStatusPacket = 4;
constexpr uint8_t kHubStatusInterval = 12;

void configurationHeader(ByteWriter& out, uint8_t interfaces, uint8_t attributes, uint8_t maxPower) {
    out.u8(kConfigurationSize);
    out.u8(kTypeConfiguration);
    out.le16(0);  // wTotalLength, patched when everything is written
    out.u8(interfaces);
    out.u8(kConfigurationValue);
    out.u8(0);  // iConfiguration
    out.u8(attributes);
    out.u8(maxPower);
}

void interfaceDescriptor(ByteWriter& out, uint8_t number, uint8_t endpoints, uint8_t cls, uint8_t subClass) {
    out.u8(kInterfaceSize);
    out.u8(kTypeInterface);
    out.u8(number);
    out.u8(0);  // bAlternateSetting
    out.u8(endpoints);
    out.u8(cls);
    out.u8(subClass);
    out.u8(0);  // bInterfaceProtocol
    out.u8(0);  // iInterface
}

void association(ByteWriter& out, uint8_t first, uint8_t count, uint8_t cls, uint8_t subClass) {
    out.u8(kAssociationSize);
    out.u8(kTypeInterfaceAssociation);
    out.u8(first);
    out.u8(count);
    out.u8(cls);
    out.u8(subClass);
    out.u8(0);  // bFunctionProtocol
    out.u8(kProductString);
}

void endpoint(ByteWriter& out, uint8_t address, uint8_t attributes, uint16_t packet, uint8_t interval,
              bool superSpeed) {
    out.u8(kEndpointSize);
    out.u8(kTypeEndpoint);
    out.u8(address);
    out.u8(attributes);
    out.le16(packet);
    out.u8(interval);
    if (!superSpeed) return;
    out.u8(kSsCompanionSize);
    out.u8(kTypeSsEndpointCompanion);
    out.u8(attributes == kEndpointBulk ? kSsMaxBurst : 0);
    out.u8(0);   // bmAttributes
    out.le16(attributes == kEndpointBulk ? 0 : packet);  // wBytesPerInterval
}

std::vector<uint8_t> finish(std::vector<uint8_t> bytes) {
    ByteWriter(bytes).patchLe16(kTotalLengthOffset, static_cast<uint16_t>(bytes.size()));
    return bytes;
}

}  // namespace

std::vector<uint8_t> cameraConfiguration(bool superSpeed, bool withAudio) {
    std::vector<uint8_t> bytes;
    ByteWriter out(bytes);
    configurationHeader(out, withAudio ? 4 : 2, kAttributesBusPowered,
                        superSpeed ? kMaxPowerSuperSpeed : kMaxPowerHighSpeed);

    association(out, kVideoControlInterface, 2, kClassVideo, kSubClassVideoCollection);
    interfaceDescriptor(out, kVideoControlInterface, 0, kClassVideo, kSubClassVideoControl);
    // The camera's own VideoControl descriptors, extension unit included.
    out.bytes(camsim::Camera::videoControlDescriptors());
    interfaceDescriptor(out, kVideoStreamingInterface, 1, kClassVideo, kSubClassVideoStreaming);
    // Input header without formats: streaming is not what the bridge carries.
    out.u8(kVsHeaderSize);
    out.u8(kTypeClassInterface);
    out.u8(kVsInputHeader);
    out.u8(0);  // bNumFormats
    out.le16(kVsHeaderSize);
    out.u8(kVideoStreamingEndpoint);
    out.u8(0);  // bmInfo
    out.u8(kOutputTerminalId);
    out.u8(0);  // bStillCaptureMethod
    out.u8(0);  // bTriggerSupport
    out.u8(0);  // bTriggerUsage
    out.u8(0);  // bControlSize
    endpoint(out, kVideoStreamingEndpoint, kEndpointBulk, superSpeed ? kBulkPacketSuperSpeed : kBulkPacketHighSpeed,
             0, superSpeed);

    if (withAudio) {
        association(out, kAudioControlInterface, 2, kClassAudio, kSubClassAudioControl);
        interfaceDescriptor(out, kAudioControlInterface, 0, kClassAudio, kSubClassAudioControl);
        out.u8(kAcHeaderSize);
        out.u8(kTypeClassInterface);
        out.u8(kAcHeader);
        out.le16(kAudioVersion);
        out.le16(kAcHeaderSize);
        out.u8(1);  // bInCollection
        out.u8(kAudioStreamingInterface);
        interfaceDescriptor(out, kAudioStreamingInterface, 0, kClassAudio, kSubClassAudioStreaming);
    }
    return finish(std::move(bytes));
}

std::vector<uint8_t> bootLoaderConfiguration() {
    std::vector<uint8_t> bytes;
    ByteWriter out(bytes);
    configurationHeader(out, 1, kAttributesBusPowered, kMaxPowerBootLoader);
    interfaceDescriptor(out, 0, 0, kClassVendor, 0);
    return finish(std::move(bytes));
}

std::vector<uint8_t> rootHubConfiguration() {
    std::vector<uint8_t> bytes;
    ByteWriter out(bytes);
    configurationHeader(out, 1, kAttributesSelfPowered, 0);
    interfaceDescriptor(out, 0, 1, kClassHub, 0);
    endpoint(out, kHubStatusEndpoint, kEndpointInterrupt, kHubStatusPacket, kHubStatusInterval, true);
    return finish(std::move(bytes));
}

}  // namespace veltrion::realports

// The class-specific descriptors of the camera's VideoControl interface:
// header, camera terminal, processing unit, the extension unit and the
// streaming output terminal, as the configuration descriptor carries them.

#include <array>

#include "Camera.h"
#include "base/ByteLayout.h"

namespace camsim {

namespace {

constexpr uint8_t kTypeClassInterface = 0x24;
constexpr uint8_t kVcHeader = 0x01;
constexpr uint8_t kVcInputTerminal = 0x02;
constexpr uint8_t kVcOutputTerminal = 0x03;
constexpr uint8_t kVcProcessingUnit = 0x05;
constexpr uint8_t kVcExtensionUnit = 0x06;
constexpr uint16_t kUvcVersion = 0x0110;
constexpr uint32_t kUvcClockHz = 48000000;
constexpr uint16_t kCameraTerminalType = 0x0201;
constexpr uint16_t kStreamingTerminalType = 0x0101;
constexpr uint8_t kCameraTerminalId = 1;
constexpr uint8_t kProcessingUnitId = 2;
constexpr uint8_t kExtensionUnitId = 3;
constexpr uint8_t kOutputTerminalId = 4;
constexpr uint8_t kVideoStreamingInterface = 1;
constexpr uint8_t kOneSource = 1;
constexpr uint8_t kOneStreamingInterface = 1;
// Camera terminal: zoom absolute (D9) and pan/tilt absolute (D11).
constexpr std::array<uint8_t, 3> kCameraTerminalControls{0x00, 0x0A, 0x00};
// Processing unit: brightness .. white balance temperature (D0..D6),
// backlight compensation (D8), gain (D9), white balance auto (D12).
constexpr std::array<uint8_t, 2> kProcessingUnitControls{0x7F, 0x13};
// Extension unit: bit (selector - 1) for selectors 1, 3, 5 and 8..16.
constexpr std::array<uint8_t, 2> kExtensionUnitControls{0x95, 0xFF};
constexpr uint8_t kExtensionUnitControlCount = 12;
// Sizes without the control bitmaps (the extension unit's with its one
// source pin).
constexpr uint8_t kVcHeaderSize = 13;
constexpr uint8_t kCameraTerminalFixedSize = 15;
constexpr uint8_t kProcessingUnitFixedSize = 10;
constexpr uint8_t kExtensionUnitFixedSize = 25;
constexpr uint8_t kOutputTerminalSize = 9;

void cameraTerminal(veltrion::ByteWriter& out) {
    out.u8(static_cast<uint8_t>(kCameraTerminalFixedSize + kCameraTerminalControls.size()));
    out.u8(kTypeClassInterface);
    out.u8(kVcInputTerminal);
    out.u8(kCameraTerminalId);
    out.le16(kCameraTerminalType);
    out.u8(0);    // bAssocTerminal
    out.u8(0);    // iTerminal
    out.le16(0);  // wObjectiveFocalLengthMin
    out.le16(0);  // wObjectiveFocalLengthMax
    out.le16(0);  // wOcularFocalLength
    out.u8(static_cast<uint8_t>(kCameraTerminalControls.size()));
    out.bytes(kCameraTerminalControls);
}

void processingUnit(veltrion::ByteWriter& out) {
    out.u8(static_cast<uint8_t>(kProcessingUnitFixedSize + kProcessingUnitControls.size()));
    out.u8(kTypeClassInterface);
    out.u8(kVcProcessingUnit);
    out.u8(kProcessingUnitId);
    out.u8(kCameraTerminalId);
    out.le16(0);  // wMaxMultiplier
    out.u8(static_cast<uint8_t>(kProcessingUnitControls.size()));
    out.bytes(kProcessingUnitControls);
    out.u8(0);  // iProcessing
    out.u8(0);  // bmVideoStandards
}

void extensionUnit(veltrion::ByteWriter& out) {
    out.u8(static_cast<uint8_t>(kExtensionUnitFixedSize + kExtensionUnitControls.size()));
    out.u8(kTypeClassInterface);
    out.u8(kVcExtensionUnit);
    out.u8(kExtensionUnitId);
    out.bytes(veltrion::kVeltrionExtensionUnitGuid);
    out.u8(kExtensionUnitControlCount);
    out.u8(kOneSource);
    out.u8(kProcessingUnitId);
    out.u8(static_cast<uint8_t>(kExtensionUnitControls.size()));
    out.bytes(kExtensionUnitControls);
    out.u8(0);  // iExtension
}

void outputTerminal(veltrion::ByteWriter& out) {
    out.u8(kOutputTerminalSize);
    out.u8(kTypeClassInterface);
    out.u8(kVcOutputTerminal);
    out.u8(kOutputTerminalId);
    out.le16(kStreamingTerminalType);
    out.u8(0);  // bAssocTerminal
    out.u8(kExtensionUnitId);
    out.u8(0);  // iTerminal
}

}  // namespace

std::vector<uint8_t> Camera::videoControlDescriptors() {
    std::vector<uint8_t> units;
    veltrion::ByteWriter unitWriter(units);
    cameraTerminal(unitWriter);
    processingUnit(unitWriter);
    extensionUnit(unitWriter);
    outputTerminal(unitWriter);

    std::vector<uint8_t> block;
    veltrion::ByteWriter out(block);
    out.u8(kVcHeaderSize);
    out.u8(kTypeClassInterface);
    out.u8(kVcHeader);
    out.le16(kUvcVersion);
    out.le16(static_cast<uint16_t>(kVcHeaderSize + units.size()));  // wTotalLength
    out.le32(kUvcClockHz);
    out.u8(kOneStreamingInterface);  // bInCollection
    out.u8(kVideoStreamingInterface);
    out.bytes(units);
    return block;
}

}  // namespace camsim

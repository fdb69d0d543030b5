#pragma once

// The camera's vendor requests on the default control pipe: request types,
// request codes, wIndex sub-codes and reply sizes. Shared by the library and
// the simulated camera so both sides name the same wire.

#include <cstdint>

namespace veltrion::vreq {

// bmRequestType of the vendor requests.
constexpr uint8_t kTypeIn = 0xDF;   // device-to-host
constexpr uint8_t kTypeOut = 0x5F;  // host-to-device
// bmRequestType of the boot loader's RAM download (vendor, device recipient).
constexpr uint8_t kBootTypeOut = 0x40;
constexpr uint8_t kBootTypeIn = 0xC0;

// Standard requests answered by every USB device.
constexpr uint8_t kStdTypeIn = 0x80;
constexpr uint8_t kStdGetDescriptor = 0x06;
constexpr uint8_t kDescriptorDevice = 0x01;
constexpr uint8_t kDescriptorString = 0x03;
constexpr uint16_t kDeviceDescriptorSize = 18;
constexpr uint16_t kStringDescriptorMax = 255;
constexpr uint16_t kLangEnglishUs = 0x0409;

// Flash access.
constexpr uint8_t kFlashStatusSync = 0xC1;   // synchronous status
constexpr uint8_t kFlashStatusPlain = 0xC4;  // plain status, the fallback
constexpr uint8_t kFlashProgram = 0xC2;
constexpr uint8_t kFlashRead = 0xC3;
constexpr uint8_t kFlashErase64K = 0xC7;
constexpr uint8_t kFlashErase32K = 0xC8;
constexpr uint8_t kFlashErase4K = 0xC9;
constexpr uint8_t kSpiModeEnter = 0xD2;
constexpr uint8_t kSpiModeLeave = 0xD3;
constexpr uint8_t kLed = 0xDE;

// System.
constexpr uint8_t kSystemLoaded = 0xDF;
constexpr uint8_t kUsbReset = 0xD7;
constexpr uint8_t kSelfTest = 0xD6;
constexpr uint16_t kSelfTestSize = 18;
// The information text of ISP 0, 1 and 2, one request each.
constexpr uint8_t kIspInfo0 = 0xDA;
constexpr uint8_t kIspInfo1 = 0xDB;
constexpr uint8_t kIspInfo2 = 0xDC;
constexpr uint8_t kFpgaLoaded = 0xDD;

// Queries multiplexed on request 0xFE by wIndex.
constexpr uint8_t kQuery = 0xFE;
constexpr uint16_t kQueryVersions = 0xFE;
constexpr uint16_t kQueryUsbType = 0x32;
constexpr uint16_t kQueryExternalPower = 0x30;
constexpr uint16_t kQueryStreaming = 0x38;
constexpr uint16_t kQueryStreamingValue = 1;
constexpr uint16_t kQueryComponentChecksum = 0x42;
constexpr uint16_t kQueryCalibration = 0x20;

constexpr uint8_t kEeprom = 0xFC;
constexpr uint8_t kMonitorData = 0xFD;

// Boot loader RAM download.
constexpr uint8_t kBootLoaderDownload = 0xA0;

// Version block: four entries of 22 bytes (FX3, FPGA, audio, ISP); the text
// starts at byte 6 of an entry and ends at byte 21 at the latest.
constexpr uint16_t kVersionBlockSize = 88;
constexpr uint16_t kVersionEntrySize = 22;
constexpr uint16_t kVersionTextOffset = 6;
constexpr uint16_t kVersionEntryFx3 = 0;
constexpr uint16_t kVersionEntryFpga = 1;
constexpr uint16_t kVersionEntryAudio = 2;
constexpr uint16_t kVersionEntryIsp = 3;

// Reply byte of the streaming query when the camera streams.
constexpr uint8_t kStreamingActive = 2;

// Preset buttons (save, apply, reset) on request 0xFE.
constexpr uint16_t kQueryPreset = 0x31;

// Requests that only trigger an action: the camera answers with a one-byte
// IN stage that means nothing, so any reply length is a success. Every other
// IN reply carries bytes the caller uses and must arrive whole.
constexpr bool isReplyIgnored(uint8_t request, uint16_t index) {
    switch (request) {
        case kSpiModeEnter:
        case kSpiModeLeave:
        case kFlashErase64K:
        case kFlashErase32K:
        case kFlashErase4K:
        case kLed:
        case kUsbReset: return true;
        case kQuery: return index == kQueryPreset;
        default: return false;
    }
}

}  // namespace veltrion::vreq

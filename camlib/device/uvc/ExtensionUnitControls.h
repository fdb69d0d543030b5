#pragma once

// The camera's extension-unit controls (selectors) and their sizes.

#include <cstdint>

namespace veltrion::xu {

constexpr uint8_t kRunTimeReady = 1;        // get, 1 byte: run-time switches ready
constexpr uint8_t kAutoFramingSwitch = 3;   // get/set, 1 byte
constexpr uint8_t kEnhancementSwitch = 5;   // get/set, 1 byte
constexpr uint8_t kGetSpiRead = 8;          // EU_CTRL_GET_SPI_READ: flash status, 1 byte
constexpr uint8_t kGeneric7BXfer = 9;       // EU_CTRL_GENERIC_7B_XFER: request header
constexpr uint8_t kGeneric256BXfer = 10;    // EU_CTRL_GENERIC_256B_XFER: reply of the last header
constexpr uint8_t kGeneric263BXfer = 11;    // EU_CTRL_GENERIC_263B_XFER: header and data
constexpr uint8_t kGetFpgaLoaded = 12;      // EU_CTRL_GET_FPGA_LOADED
constexpr uint8_t kGetSystemProgrammed = 13;  // EU_CTRL_GET_SYSTEM_PROGRAMMED
constexpr uint8_t kLedOnOff = 15;           // EU_CTRL_LED_ON_OFF
constexpr uint8_t kPresetPropId = 16;       // EU_CTRL_PRESET_PROP_ID

constexpr uint16_t kHeaderSize = 7;
constexpr uint16_t kReplySize = 256;
constexpr uint16_t kMaxData = 256;
constexpr uint16_t kHeaderAndDataSize = kHeaderSize + kMaxData;  // 263
constexpr uint16_t kPresetSize = 2;

}  // namespace veltrion::xu

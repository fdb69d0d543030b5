#pragma once

// The camera's UVC extension unit: its controls (selectors), their lengths
// and directions, and the request header that carries a vendor request
// through it.

#include <cstddef>
#include <cstdint>

namespace camsim::xu {

// Selectors.
constexpr uint8_t kReady = 1;          // get: the run-time switches can be used
constexpr uint8_t kFraming = 3;        // get/set: automatic framing
constexpr uint8_t kEnhancement = 5;    // get/set: image enhancement
constexpr uint8_t kFlashStatus = 8;    // get: first byte of the synchronous flash status
constexpr uint8_t kRequestHeader = 9;  // set: run a device-to-host request, latch its reply
constexpr uint8_t kLatchedReply = 10;  // get: the latched reply
constexpr uint8_t kRequestWithData = 11;  // set: run a host-to-device request with its data
constexpr uint8_t kFpgaLoaded = 12;    // get
constexpr uint8_t kSystemLoaded = 13;  // get
constexpr uint8_t kReserved = 14;      // listed in the unit, answers nothing
constexpr uint8_t kLed = 15;           // set: blue LED on when the byte is not 0
constexpr uint8_t kPreset = 16;        // set: the preset word, little-endian

// GET_LEN answers the control's length in two bytes, little-endian.
constexpr uint16_t kLengthSize = 2;
constexpr uint16_t kSwitchSize = 1;
constexpr uint16_t kHeaderSize = 7;
constexpr uint16_t kMaxPayload = 256;
constexpr uint16_t kReplySize = kMaxPayload;
constexpr uint16_t kHeaderWithDataSize = kHeaderSize + kMaxPayload;
constexpr uint16_t kPresetSize = 2;

// Request header fields (little-endian).
constexpr size_t kHeaderRequestAt = 0;
constexpr size_t kHeaderValueAt = 1;
constexpr size_t kHeaderIndexAt = 3;
constexpr size_t kHeaderLengthAt = 5;

struct Control {
    uint8_t selector;
    uint16_t length;
    bool get;
    bool set;
};

// Null for a selector the unit does not have.
const Control* findControl(uint8_t selector);

}  // namespace camsim::xu

namespace camsim {

// Vendor requests the extension unit reaches that the shared request table
// does not name.
constexpr uint8_t kFpgaLoadedRequest = 0xDD;

}  // namespace camsim

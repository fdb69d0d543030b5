#pragma once

// The camera's vendor requests in a recording, on either channel: the vendor
// channel's control transfers, and on the UVC channel the extension-unit
// exchanges that carry them (a request header, then its latched reply; or a
// header with the data sent).

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "device/recording/RecordingFile.h"

namespace camsim {

struct VendorTransfer {
    std::string camera;  // the device path or capture link, as recorded
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    // The data stage inside its record: what was sent (OUT) or received (IN).
    std::span<uint8_t> data;

    bool in() const { return (requestType & 0x80) != 0; }
    // The flash address a flash read or program names.
    uint32_t flashAddress() const { return static_cast<uint32_t>(value) << 16 | index; }
};

// Calls visit with each vendor request in recording order. A reply read on
// the UVC channel is as long as its header asked for; the rest of the latched
// reply, which the library never uses, is zeroed.
void forEachVendorTransfer(veltrion::recording::Recording& recording,
                           const std::function<void(VendorTransfer&)>& visit);

}  // namespace camsim

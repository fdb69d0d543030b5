#pragma once

// How long a "VM" component at one of the fixed report addresses can be: from
// its address to the next component's. A length field outside 256 .. room is
// damaged and is never used as a read length.

#include <cstdint>

#include "format/ComponentHeader.h"
#include "format/FlashMap.h"

namespace veltrion::componentroom {

// The ISP component reaches at most up to the audio component's later place.
constexpr uint32_t kIsp = flashmap::kAudioAddressAfterLongIsp - flashmap::kIspAddress;
// The audio component ends where the FPGA component starts.
constexpr uint32_t audioAt(uint32_t audioAddress) { return flashmap::kFpgaAddress - audioAddress; }
constexpr uint32_t kFpga = flashmap::kFpgaRegionSize;

constexpr bool lengthFits(uint32_t length, uint32_t room) {
    return length >= component::kHeaderSize && length <= room;
}

}  // namespace veltrion::componentroom

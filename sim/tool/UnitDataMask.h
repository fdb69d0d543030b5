#pragma once

// Replaces the bytes that identify a unit in its flash and calibration reads:
// the configuration block's alignment values, JPEG lengths, calibration and
// uninterpreted bytes, and the lookup table, with fixed filler. Erased bytes
// stay erased (the library treats them as "never written"), and the serial
// field is left to the serial map.
//
// The masked recording must still replay: a write that puts back what was
// read (the block's rewrite, a read-back after a write) must carry the masked
// bytes, while values the program brings itself (a calibration file, an
// image's alignment values) stay. So for each field of each camera the mask
// remembers the bytes last seen and what they became, and gives the same
// bytes the same replacement.

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "VendorTransfers.h"

namespace camsim {

class UnitDataMask {
public:
    void apply(VendorTransfer& transfer);

private:
    struct Seen {
        std::vector<uint8_t> original;
        std::vector<uint8_t> masked;
    };

    void maskField(const std::string& camera, bool in, uint32_t address, std::span<const uint8_t> filler,
                   std::span<uint8_t> bytes);

    std::map<std::pair<std::string, uint32_t>, Seen> seen_;  // by camera and field address
};

}  // namespace camsim

#include "UnitDataMask.h"

#include <algorithm>

#include "base/ByteLayout.h"
#include "config/CalibrationParams.h"
#include "config/ConfigBlockLayout.h"
#include "device/VendorRequests.h"
#include "format/FlashMap.h"

namespace camsim {

namespace {

namespace cb = veltrion::configblock;
namespace fm = veltrion::flashmap;
using veltrion::flashmap::kErasedByte;

// Plausible values, the same for every unit: the library parses and prints
// them like a real unit's.
constexpr uint16_t kFillerAlignment = 0x0200;
constexpr uint16_t kFillerJpegLength = 0x2000;
constexpr uint16_t kFillerLookupEntry = 0x0800;  // the centre of the 12-bit range

std::vector<uint8_t> repeatedBe16(uint16_t value, size_t count) {
    std::vector<uint8_t> bytes;
    veltrion::ByteWriter writer(bytes);
    for (size_t i = 0; i < count; ++i) writer.be16(value);
    return bytes;
}

std::vector<uint8_t> fillerCalibration() {
    veltrion::CalibrationParams params;
    params.focalLength = {1000.0f, 1000.0f, 1000.0f};
    params.k1 = {0.0f, 0.0f, 0.0f};
    params.hfov = {70.0f, 70.0f, 70.0f};
    params.overlapx = {100, 100};
    params.overlapy = {0, 0};
    params.cylinderR = {1200.0f, 1200.0f};
    std::vector<uint8_t> bytes;
    veltrion::ByteWriter writer(bytes);
    for (const uint32_t word : veltrion::calibrationToWords(params)) writer.be32(word);
    return bytes;
}

std::vector<uint8_t> fillerLookupPage() {
    std::vector<uint8_t> bytes;
    veltrion::ByteWriter writer(bytes);
    for (size_t i = 0; i < fm::kPageSize / 2; ++i) writer.le16(kFillerLookupEntry);
    return bytes;
}

bool isErased(std::span<const uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == kErasedByte; });
}

bool overlaps(uint32_t start, size_t size, uint32_t otherStart, size_t otherSize) {
    return start < otherStart + otherSize && otherStart < start + size;
}

struct MaskedField {
    uint32_t address;
    std::vector<uint8_t> filler;
};

// One field a value, so that a write that changes some values (a calibration
// file naming a few) carries the others as masked.
void addValues(std::vector<MaskedField>& fields, uint32_t address, const std::vector<uint8_t>& filler, size_t size) {
    for (size_t at = 0; at < filler.size(); at += size) {
        const auto from = filler.begin() + static_cast<std::ptrdiff_t>(at);
        fields.push_back({static_cast<uint32_t>(address + at), {from, from + static_cast<std::ptrdiff_t>(size)}});
    }
}

// Where the identifying bytes lie in flash; the calibration query answers
// with the block's calibration field.
const std::vector<MaskedField>& maskedFields() {
    static const std::vector<MaskedField> fields = [] {
        std::vector<MaskedField> list;
        addValues(list, cb::kMainPageAddress + cb::kCtgOffset, repeatedBe16(kFillerAlignment, cb::kCtgCount), 2);
        addValues(list, cb::kMainPageAddress + cb::kJpegLengthOffset, repeatedBe16(kFillerJpegLength, cb::kJpegCount),
                  2);
        addValues(list, cb::kMainPageAddress + cb::kCalibrationOffset, fillerCalibration(), 4);
        list.push_back({cb::kMainPageAddress + cb::kUninterpretedOffset,
                        std::vector<uint8_t>(cb::kPageSize - cb::kUninterpretedOffset, 0)});
        const std::vector<uint8_t> lookupPage = fillerLookupPage();
        for (uint32_t page = 0; page < fm::kLutSize; page += fm::kPageSize)
            list.push_back({fm::kLutAddress + page, lookupPage});
        return list;
    }();
    return fields;
}

constexpr uint8_t kRequestTypeMask = 0x60;
constexpr uint8_t kVendorType = 0x40;

}  // namespace

void UnitDataMask::apply(VendorTransfer& transfer) {
    if ((transfer.requestType & kRequestTypeMask) != kVendorType) return;
    uint32_t address = 0;
    if ((transfer.request == veltrion::vreq::kFlashRead && transfer.in()) ||
        (transfer.request == veltrion::vreq::kFlashProgram && !transfer.in()))
        address = transfer.flashAddress();
    else if (transfer.in() && transfer.request == veltrion::vreq::kQuery &&
             transfer.index == veltrion::vreq::kQueryCalibration)
        address = cb::kMainPageAddress + cb::kCalibrationOffset;
    else
        return;
    const size_t size = transfer.data.size();
    for (const MaskedField& field : maskedFields()) {
        if (!overlaps(address, size, field.address, field.filler.size())) continue;
        if (field.address >= address && field.address + field.filler.size() <= address + size) {
            maskField(transfer.camera, transfer.in(), field.address, field.filler,
                      transfer.data.subspan(field.address - address, field.filler.size()));
            continue;
        }
        // A read of part of a field: that part of the filler, unless erased.
        if (!transfer.in()) continue;
        const uint32_t from = std::max(address, field.address);
        const uint32_t to = static_cast<uint32_t>(std::min(address + size, field.address + field.filler.size()));
        const std::span<uint8_t> part = transfer.data.subspan(from - address, to - from);
        if (isErased(part)) continue;
        std::copy_n(field.filler.begin() + (from - field.address), part.size(), part.begin());
    }
}

void UnitDataMask::maskField(const std::string& camera, bool in, uint32_t address, std::span<const uint8_t> filler,
                             std::span<uint8_t> bytes) {
    if (isErased(bytes)) return;
    Seen& seen = seen_[{camera, address}];
    if (std::equal(bytes.begin(), bytes.end(), seen.original.begin(), seen.original.end())) {
        std::copy(seen.masked.begin(), seen.masked.end(), bytes.begin());
        return;
    }
    seen.original.assign(bytes.begin(), bytes.end());
    // Read bytes are the unit's; written ones the program's own.
    if (in) std::copy(filler.begin(), filler.end(), bytes.begin());
    seen.masked.assign(bytes.begin(), bytes.end());
}

}  // namespace camsim

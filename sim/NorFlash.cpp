#include "NorFlash.h"

#include <algorithm>

#include "format/FlashMap.h"

namespace camsim {

using namespace veltrion::flashmap;

bool NorFlash::read(uint32_t address, std::span<uint8_t> out) const {
    if (address > bytes_.size() || out.size() > bytes_.size() - address) return false;
    std::copy_n(bytes_.begin() + address, out.size(), out.begin());
    return true;
}

bool NorFlash::program(uint32_t address, std::span<const uint8_t> data) {
    if (address >= bytes_.size() || data.empty() || data.size() > kPageSize) return false;
    const uint32_t pageStart = address & ~(kPageSize - 1);
    for (size_t i = 0; i < data.size(); ++i) {
        const uint32_t at = pageStart + ((address + i) & (kPageSize - 1));
        bytes_[at] &= data[i];
    }
    return true;
}

bool NorFlash::erase(uint32_t address, uint32_t sectorSize) {
    if (address >= bytes_.size() || sectorSize == 0) return false;
    const uint32_t start = address / sectorSize * sectorSize;
    const uint32_t length = std::min<uint32_t>(sectorSize, static_cast<uint32_t>(bytes_.size()) - start);
    std::fill_n(bytes_.begin() + start, length, kErasedByte);
    return true;
}

std::span<const uint8_t> NorFlash::from(uint32_t address) const {
    if (address >= bytes_.size()) return {};
    return std::span<const uint8_t>(bytes_).subspan(address);
}

}  // namespace camsim

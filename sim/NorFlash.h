#pragma once

// SPI NOR semantics over the flash bytes: programming only clears bits and
// wraps inside its 256-byte page; erasing sets a whole aligned sector to 0xFF;
// reads run on linearly.

#include <cstdint>
#include <span>

namespace camsim {

class NorFlash {
public:
    explicit NorFlash(std::span<uint8_t> bytes) : bytes_(bytes) {}

    uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }

    // False when the range leaves the flash.
    bool read(uint32_t address, std::span<uint8_t> out) const;
    // Programs 1..256 bytes. Bytes past the end of the page wrap to its start,
    // as the chip's page buffer does. False when the address is outside the
    // flash or the length is 0 or above a page.
    bool program(uint32_t address, std::span<const uint8_t> data);
    // Erases the sector of the given size that contains the address.
    bool erase(uint32_t address, uint32_t sectorSize);

    // The bytes from the address to the end of the flash (empty when outside).
    std::span<const uint8_t> from(uint32_t address) const;
    std::span<const uint8_t> all() const { return bytes_; }

private:
    std::span<uint8_t> bytes_;
};

}  // namespace camsim

// Flash operations that name a camera by its device path: each opens it,
// enters SPI mode, works and closes it on every path out. The camera stays in
// SPI mode until it is rebooted.

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/ByteLayout.h"
#include "manager/DeviceSession.h"
#include "manager/Veltrion2CamMgr.h"
#include "base/VersionNumber.h"

namespace veltrion {

namespace {

using flashmap::kPageSize;
using flashmap::kSector4K;

constexpr uint32_t kPagesPerSector4K = kSector4K / kPageSize;

int eraseSizeKiB(uint8_t request) {
    switch (request) {
        case vreq::kFlashErase64K:
            return flashmap::kSector64K / 1024;
        case vreq::kFlashErase32K:
            return flashmap::kSector32K / 1024;
        default:
            return kSector4K / 1024;
    }
}

bool isBlank(const uint8_t* bytes, size_t length) {
    return std::all_of(bytes, bytes + length, [](uint8_t b) { return b == flashmap::kErasedByte; });
}

}  // namespace

bool Veltrion2CamMgr::programSectors(bool verify, uint32_t maxSize, uint32_t address, const uint8_t* data,
                                     uint32_t size, const std::string& devPath) {
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    if (size > maxSize) {
        logger_->log(kLogError, "Veltrion2CamMgr::programSectors - bufsize %u > %u\n", size, maxSize);
        return false;
    }
    if (maxSize % flashmap::kSector64K != 0) {
        logger_->log(kLogError, "Veltrion2CamMgr::programSectors - maxSize not a multiple of sector\n");
        return false;
    }
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programSectors failed - unable to open dev %s\n", devPath.c_str());
        return false;
    }
    if (!enterSPIMode()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programIfCheckSumNotMatch failed - unable to switch to SPI mode\n");
        return false;
    }
    uint8_t useSyncStatus = 1;
    const uint32_t sectors = maxSize / flashmap::kSector64K;
    if (!eraseFlashSectors(flash::addrHigh(address), flash::addrLow(address), sectors, useSyncStatus)) {
        logger_->log(kLogError,
                     "Veltrion2CamMgr::programIfCheckSumNotMatch failed - unable to erase %d sectors from %08x.\n",
                     static_cast<int>(sectors), address);
        return false;
    }
    if (!programFlashWithSignatureLast(address, data, size, verify, useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programIfCheckSumNotMatch failed - programFlash failed\n");
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::updateFlashContents(uint32_t address, const uint8_t* data, uint32_t length, bool verify,
                                          const std::string& devPath) {
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    if (!data) {
        logger_->log(kLogError, "Veltrion2CamMgr::updateFlashContents failed - null data ptr given\n");
        return false;
    }
    if (length == 0) return true;
    // Refused before the first sector is touched, not half way through.
    if (!flash::fitsInFlash(address, length)) {
        logger_->log(kLogError,
                     "Veltrion2CamMgr::updateFlashContents failed - %u bytes at 0x%08x pass the end of the flash\n",
                     length, address);
        return false;
    }
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::updateFlashContents failed - unable to open dev %s\n",
                     devPath.c_str());
        return false;
    }
    if (!enterSPIMode()) {
        logger_->log(kLogError, "Veltrion2CamMgr::updateFlashContents failed - unable to switch to SPI mode\n");
        return false;
    }
    uint8_t useSyncStatus = 1;
    const uint32_t end = address + length;  // fits: checked above
    const uint32_t first = address - address % kSector4K;
    const uint32_t last = (end - 1) - (end - 1) % kSector4K;
    std::vector<uint8_t> saved(kSector4K);
    for (uint32_t base = first; base <= last; base += kSector4K) {
        logger_->log(kLogInfo, "Veltrion2CamMgr::updateFlashContents working with block 0x%08x\n", base);
        if (!readBlockAtAddr(flash::addrHigh(base), flash::addrLow(base), saved.data(), kSector4K)) return false;
        const bool wasBlank = isBlank(saved.data(), saved.size());

        std::vector<uint8_t> sector = saved;
        const uint32_t from = std::max(address, base);
        const uint32_t to = std::min(end, base + kSector4K);
        std::memcpy(sector.data() + (from - base), data + (from - address), to - from);

        if (!wasBlank && !eraseFlashSector(vreq::kFlashErase4K, flash::addrHigh(base), flash::addrLow(base),
                                           useSyncStatus)) {
            logger_->log(kLogError, "Veltrion2CamMgr::updateFlashContents failed - unable to erase sectors 0x%04x%04x\n",
                         flash::addrHigh(base), flash::addrLow(base));
            writeSectorBack(base, saved, devPath);
            return false;
        }
        if (const auto failedPage = programSectorPages(base, sector, verify, useSyncStatus)) {
            logger_->log(kLogError, "Veltrion2CamMgr::updateFlashContents failed - unable to program sectors 0x%08x\n",
                         *failedPage);
            writeSectorBack(base, saved, devPath);
            return false;
        }
    }
    return true;
}

std::optional<uint32_t> Veltrion2CamMgr::programSectorPages(uint32_t base, const std::vector<uint8_t>& sector,
                                                            bool verify, uint8_t& useSyncStatus) {
    for (uint32_t page = 0; page < kPagesPerSector4K; ++page) {
        const uint8_t* bytes = sector.data() + page * kPageSize;
        if (isBlank(bytes, kPageSize)) continue;
        const uint32_t pageAddress = base + page * kPageSize;
        if (!programFlash(pageAddress, bytes, kPageSize, verify, useSyncStatus)) return pageAddress;
    }
    return std::nullopt;
}

void Veltrion2CamMgr::writeSectorBack(uint32_t base, const std::vector<uint8_t>& saved, const std::string& devPath) {
    // The bytes around the written range are the camera's, not the user's:
    // a failed write puts the sector's saved content back, once. A failed
    // erase may have closed the camera, so it is opened afresh.
    logger_->log(kLogError,
                 "Veltrion2CamMgr::updateFlashContents - writing block 0x%08x failed, writing its old content back\n",
                 base);
    device_->closeVeltrion2Dev();
    DeviceSession session(*device_, devPath);
    uint8_t useSyncStatus = 1;
    const bool restored = session.isOpen() && enterSPIMode() &&
                          eraseFlashSector(vreq::kFlashErase4K, flash::addrHigh(base), flash::addrLow(base),
                                           useSyncStatus) &&
                          !programSectorPages(base, saved, true, useSyncStatus);
    if (restored)
        logger_->log(kLogError, "Veltrion2CamMgr::updateFlashContents - block 0x%08x holds its old content again\n",
                     base);
    else
        logger_->log(kLogError,
                     "Veltrion2CamMgr::updateFlashContents failed - unable to write back the old content of block "
                     "0x%08x\n",
                     base);
}

bool Veltrion2CamMgr::eraseFlashContents(uint8_t eraseRequest, uint32_t address, const std::string& devPath) {
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    if (!flash::isEraseRequest(eraseRequest)) {
        logger_->log(kLogError, "Veltrion2CamMgr::eraseFlashContents has to use 64K, 32K, or 4K erase\n");
        return false;
    }
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::eraseFlashContents failed - unable to open dev %s\n",
                     devPath.c_str());
        return false;
    }
    if (!enterSPIMode()) {
        logger_->log(kLogError, "Veltrion2CamMgr::eraseFlashContents failed - unable to switch to SPI mode\n");
        return false;
    }
    const uint16_t high = flash::addrHigh(address);
    const uint16_t low = flash::addrLow(address);
    logger_->log(kLogError, "Veltrion2CamMgr::eraseFlashContents: erasing %d kB at 0x%04x%04x.\n",
                 eraseSizeKiB(eraseRequest), high, low);
    uint8_t useSyncStatus = 1;
    if (!eraseFlashSector(eraseRequest, high, low, useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::eraseFlashContents failed - unable to erase 0x%04x%04x.\n", high,
                     low);
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::readFlashContents(uint32_t address, uint8_t* destination, uint32_t length,
                                        const std::string& devPath) {
    if (!destination) {
        logger_->log(kLogError, "Veltrion2CamMgr::readFlashContents failed - null data ptr given\n");
        return false;
    }
    if (length == 0) return true;
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::readFlashContents failed - unable to open dev %s\n", devPath.c_str());
        return false;
    }
    if (!enterSPIMode()) {
        logger_->log(kLogError, "Veltrion2CamMgr::readFlashContents failed - unable to switch to SPI mode\n");
        return false;
    }
    // Computed in 64 bits so that a range that ends at 4 GiB does not wrap.
    const uint64_t end = uint64_t{address} + length;
    const uint64_t first = address - address % kPageSize;
    const uint64_t last = (end - 1) - (end - 1) % kPageSize;
    uint8_t page[kPageSize];
    for (uint64_t base = first; base <= last; base += kPageSize) {
        const auto pageAddress = static_cast<uint32_t>(base);
        if (!readBlockAtAddr(flash::addrHigh(pageAddress), flash::addrLow(pageAddress), page, kPageSize)) return false;
        const uint64_t from = std::max<uint64_t>(address, base);
        const uint64_t to = std::min<uint64_t>(end, base + kPageSize);
        std::memcpy(destination + (from - address), page + (from - base), static_cast<size_t>(to - from));
    }
    return true;
}

bool Veltrion2CamMgr::calcCompCheckSum(int componentType, const uint8_t* data, uint32_t length, uint32_t& checksum) {
    if (length < flash::kImageChecksumSize) {
        logger_->log(kLogError, "Veltrion2CamMgr::calcCompCheckSum len %d < 4\n", static_cast<int>(length));
        return false;
    }
    switch (componentType) {
        case flash::kCompBootLoader:
        case flash::kCompFx3:
        case flash::kCompBackupFx3:
            // FX3 boot images carry their checksum in their last four bytes.
            checksum = *ByteReader({data, length}).le32(length - flash::kImageChecksumSize);
            return true;
        default:
            checksum = veltrion::fletcher16(data, length);
            return true;
    }
}

}  // namespace veltrion

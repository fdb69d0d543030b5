// The flash map's component writers: the camera's checksum query, rewriting a
// region only when it differs, and one writer per component. Components are
// written signature last, so a cut-short write never carries a valid signature.

#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "base/ByteLayout.h"
#include "flash/JsonRecord.h"
#include "manager/DeviceSession.h"
#include "manager/Veltrion2CamMgr.h"
#include "base/VersionNumber.h"

namespace veltrion {

namespace {

using flashmap::kSector64K;

// Sectors of a component whose region follows its length: one more than the
// whole sectors it fills, so a component of exactly 64 KiB erases two.
uint32_t sectorsFor(uint32_t length) { return length / kSector64K + 1; }

}  // namespace

bool Veltrion2CamMgr::getFirmwareCheckSum(const std::string& devPath, int componentType, bool& isMatch,
                                          uint32_t& expected, uint32_t& calculated) {
    if (componentType < flash::kCompTypeFirst || componentType > flash::kCompTypeLast) {
        logger_->log(kLogError, "Veltrion2CamMgr::getFirmwareCheckSum invalid component type %d\n", componentType);
        return false;
    }
    std::array<uint8_t, flash::kChecksumReplySize> reply{};
    {
        DeviceSession session(*device_, devPath);
        if (!session.isOpen()) {
            logger_->log(kLogError, "Veltrion2CamMgr::getFirmwareCheckSum failed - unable to open dev %s\n",
                         devPath.c_str());
            return false;
        }
        if (!device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kQuery, static_cast<uint16_t>(componentType),
                                             vreq::kQueryComponentChecksum, reply.data(), flash::kChecksumReplySize)) {
            logger_->log(kLogError, "Veltrion2CamMgr::getFirmwareCheckSum failed - control transfer failed\n");
            return false;
        }
    }
    const ByteReader reader(reply);
    const uint8_t matchByte = *reader.u8(flash::kChecksumReplyMatch);
    expected = *reader.le32(flash::kChecksumReplyExpected);
    calculated = *reader.le32(flash::kChecksumReplyCalculated);
    isMatch = matchByte == 0;
    // A firmware that does not know the query answers with bytes that do not
    // hold together; such an answer counts as no answer.
    const bool consistent = isMatch == (expected == calculated);
    if (!consistent || expected == 0 || calculated == 0) {
        logger_->log(kLogError, "Veltrion2CamMgr::getFirmwareCheckSum failed - isMatch %d, b0 0x%x, exp %u, calu %u\n",
                     isMatch ? 1 : 0, matchByte, expected, calculated);
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::verifyFirmwareCheckSum(const std::string& devPath, int componentType) {
    bool isMatch = false;
    uint32_t expected = 0, calculated = 0;
    return getFirmwareCheckSum(devPath, componentType, isMatch, expected, calculated) && isMatch;
}

bool Veltrion2CamMgr::programIfCheckSumNotMatch(bool verify, uint8_t signature0, uint8_t signature1,
                                                uint32_t address, uint32_t maxSize, const uint8_t* data,
                                                uint32_t length, const std::string& devPath,
                                                const std::string& name) {
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    if (length <= 1) {
        logger_->log(kLogError, "Veltrion2CamMgr::programIfCheckSumNotMatch - bufsize %u too small\n", length);
        return false;
    }
    if (length > maxSize) {
        logger_->log(kLogError, "Veltrion2CamMgr::programIfCheckSumNotMatch - bufsize %u too large, max %u\n", length,
                     maxSize);
        return false;
    }
    if (maxSize % kSector64K != 0) {
        logger_->log(kLogError, "Veltrion2CamMgr::programIfCheckSumNotMatch - maxSize not a multiple of sector\n");
        return false;
    }
    std::vector<uint8_t> region;
    try {
        region.resize(maxSize);
    } catch (const std::bad_alloc&) {
        logger_->log(kLogError, "Veltrion2CamMgr::programIfCheckSumNotMatch - no memory\n");
        return false;
    }
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programIfCheckSumNotMatch failed - unable to open dev %s\n",
                     devPath.c_str());
        return false;
    }
    if (!enterSPIMode()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programIfCheckSumNotMatch failed - unable to switch to SPI mode\n");
        return false;
    }
    uint8_t useSyncStatus = 1;
    const uint32_t sectors = maxSize / kSector64K;
    for (uint32_t i = 0; i < sectors; ++i) {
        const uint32_t blockAddress = address + i * kSector64K;
        if (!readBlockAtAddr(flash::addrHigh(blockAddress), flash::addrLow(blockAddress),
                             region.data() + i * kSector64K, kSector64K)) {
            logger_->log(kLogError, "Veltrion2CamMgr::programIfCheckSumNotMatch - read flash failed, no update\n");
            return false;
        }
    }

    if (region[0] != signature0 || region[1] != signature1) {
        logger_->log(kLogInfo, "Veltrion2CamMgr::programIfCheckSumNotMatch - updating %s as it has invalid signature\n",
                     name.c_str());
    } else if (veltrion::fletcher16(region.data(), length) == veltrion::fletcher16(data, length)) {
        logger_->log(kLogInfo,
                     "Veltrion2CamMgr::programIfCheckSumNotMatch - %s has valid signature and same checksum. No update "
                     "needed\n",
                     name.c_str());
        return true;
    } else {
        logger_->log(kLogInfo, "Veltrion2CamMgr::programIfCheckSumNotMatch - updating %s as it has different checksum\n",
                     name.c_str());
    }

    if (!eraseFlashSectors(flash::addrHigh(address), flash::addrLow(address), sectors, useSyncStatus)) {
        logger_->log(kLogError,
                     "Veltrion2CamMgr::programIfCheckSumNotMatch failed - unable to erase %d sectors from %08x.\n",
                     static_cast<int>(sectors), address);
        return false;
    }
    if (!programFlashWithSignatureLast(address, data, length, verify, useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programIfCheckSumNotMatch failed - programFlash failed\n");
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::updateCameraFirmware(int componentType, uint8_t signature0, uint8_t signature1,
                                           uint32_t address, uint32_t maxSize, const uint8_t* data, uint32_t length,
                                           bool& checksumUnsupported, const std::string& devPath,
                                           const std::string& name) {
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    bool isMatch = false;
    uint32_t expected = 0, calculated = 0;
    if (!checksumUnsupported && getFirmwareCheckSum(devPath, componentType, isMatch, expected, calculated)) {
        // The image is summed only when the camera vouches for its flash copy.
        uint32_t imageChecksum = 0;
        const bool haveImageChecksum = isMatch && calcCompCheckSum(componentType, data, length, imageChecksum);
        if (haveImageChecksum && imageChecksum == calculated) {
            logger_->log(kLogInfo,
                         "Veltrion2CamMgr::updateCameraFirmware - firmware support checksum verification. %s is "
                         "up-to-date\n",
                         name.c_str());
            return true;
        }
        logger_->log(kLogInfo,
                     "Veltrion2CamMgr::updateCameraFirmware - programing %s as checksum mismatched. isMatch %d, exp "
                     "%u, cal %u, new %u\n",
                     name.c_str(), isMatch ? 1 : 0, expected, calculated, haveImageChecksum ? imageChecksum : 0);
        if (!programSectors(false, maxSize, address, data, length, devPath)) {
            logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed to program %s\n", name.c_str());
            return false;
        }
        if (!verifyFirmwareCheckSum(devPath, componentType)) {
            logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed to verify %s checksum!\n",
                         name.c_str());
            return false;
        }
        return true;
    }

    logger_->log(kLogInfo,
                 "Veltrion2CamMgr::updateCameraFirmware - firmware does not support checksum verification vendor "
                 "command! Fall back to flash read back\n");
    checksumUnsupported = true;
    if (!programIfCheckSumNotMatch(true, signature0, signature1, address, maxSize, data, length, devPath, name)) {
        logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed to check %s\n", name.c_str());
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::programFPGAFlash(bool verify, const uint8_t* data, uint32_t length, uint32_t address,
                                       const std::string& devPath) {
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programFPGAFlash failed - unable to open dev %s\n", devPath.c_str());
        return false;
    }
    if (!enterSPIMode()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programFPGAFlash failed - unable to switch to SPI mode\n");
        return false;
    }
    uint8_t useSyncStatus = 1;
    flashProgress_.eraseProgressSpan = flash::kFpgaEraseSpan;
    if (!eraseFlashSectors(flash::addrHigh(address), 0, flash::kFpgaSectors, useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programFPGAFlash failed - unable to erase 96 sectors from 0x%x.\n",
                     address);
        return false;
    }
    flashProgress_.progressBase += flash::kFpgaEraseSpan;
    reportFlashProgress(flashProgress_.progressBase);
    flashProgress_.programProgressSpan = flash::kFpgaProgramSpan;
    if (!programFlashWithSignatureLast(address, data, length, verify, useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programFPGAFlash failed - programFlash failed\n");
        return false;
    }
    flashProgress_.progressBase += flash::kFpgaAfterWriteStep;
    reportFlashProgress(flashProgress_.progressBase);
    return true;
}

bool Veltrion2CamMgr::programFX3Flash(bool verify, const uint8_t* data, uint32_t length, const std::string& devPath) {
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programFX3Flash failed - unable to open dev %s\n", devPath.c_str());
        return false;
    }
    if (!enterSPIMode()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programFX3Flash failed - unable to switch to SPI mode\n");
        return false;
    }
    uint8_t useSyncStatus = 1;
    if (!eraseFlashSectors(flash::addrHigh(flashmap::kFx3Address), flash::addrLow(flashmap::kFx3Address),
                           flash::kFx3Sectors, useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programFX3Flash failed - unable to erase 7 sectors from 0x010000.\n");
        return false;
    }
    flashProgress_.programProgressSpan = flash::kFx3ProgramSpan;
    if (!programFlashWithSignatureLast(flashmap::kFx3Address, data, length, verify, useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programFX3Flash failed - programFlash failed\n");
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::programAudioFlash(bool verify, const uint8_t* data, uint32_t length, uint32_t address,
                                        const std::string& devPath) {
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programAudioFlash failed - unable to open dev %s\n", devPath.c_str());
        return false;
    }
    if (!enterSPIMode()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programAudioFlash failed - unable to switch to SPI mode\n");
        return false;
    }
    uint8_t useSyncStatus = 1;
    const uint32_t sectors = sectorsFor(length);
    logger_->log(kLogInfo, "Veltrion2CamMgr::programAudioFlash: erasing %u sectors from 0x%x\n", sectors, address);
    if (!eraseFlashSectors(flash::addrHigh(address), flash::addrLow(address), sectors, useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programAudioFlash failed - unable to delete Audio Section\n");
        return false;
    }
    flashProgress_.programProgressSpan = flash::kAudioProgramSpan;
    if (!programFlashWithSignatureLast(address, data, length, verify, useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programAudioFlash failed - programFlash failed\n");
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::programISPFlash(bool verify, const uint8_t* data, uint32_t length, uint32_t address,
                                      const std::string& devPath) {
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programISPFlash failed - unable to open dev %s\n", devPath.c_str());
        return false;
    }
    if (!enterSPIMode()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programISPFlash failed - unable to switch to SPI mode\n");
        return false;
    }
    uint8_t useSyncStatus = 1;
    const uint32_t sectors = sectorsFor(length);
    logger_->log(kLogInfo, "Veltrion2CamMgr::programISPFlash: erasing %u sectors from 0x%x\n", sectors, address);
    if (!eraseFlashSectors(flash::addrHigh(address), flash::addrLow(address), sectors, useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programISPFlash failed - unable to delete ISP Section\n");
        return false;
    }
    flashProgress_.programProgressSpan = flash::kIspProgramSpan;
    if (!programFlashWithSignatureLast(address, data, length, verify, useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programISPFlash failed - programFlash failed\n");
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::programJsonFlash(const uint8_t* json, uint32_t length, const std::string& devPath) {
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    // The record must fit its one sector; a longer text would run into the
    // next region, so it is refused before the camera is touched.
    if (length > flash::kJsonMaxTextLength) {
        logger_->log(kLogError, "Veltrion2CamMgr::programJsonFlash failed - JSON text of %u bytes exceeds %u\n", length,
                     flash::kJsonMaxTextLength);
        return false;
    }
    if (!json && length > 0) {
        logger_->log(kLogError, "Veltrion2CamMgr::programJsonFlash failed - null data ptr given\n");
        return false;
    }
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programJsonFlash failed - unable to open dev %s\n", devPath.c_str());
        return false;
    }
    const std::vector<uint8_t> record = flash::jsonRecord({json, length});

    if (!enterSPIMode()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programJsonFlash failed - unable to switch to SPI mode\n");
        return false;
    }
    uint8_t useSyncStatus = 1;
    if (!eraseFlashSectors(flash::addrHigh(flashmap::kJsonAddress), flash::addrLow(flashmap::kJsonAddress),
                           flash::kJsonSectors, useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programJsonFlash failed - unable to delete JSON Section\n");
        return false;
    }
    // The first page, which holds the record's tag and length, goes last: a
    // record cut off half way is never one that looks whole.
    const uint32_t firstPage = std::min<uint32_t>(static_cast<uint32_t>(record.size()), flashmap::kPageSize);
    const uint32_t rest = static_cast<uint32_t>(record.size()) - firstPage;
    if ((rest > 0 && !programFlash(flashmap::kJsonAddress + firstPage, record.data() + firstPage, rest, true,
                                   useSyncStatus)) ||
        !programFlash(flashmap::kJsonAddress, record.data(), firstPage, true, useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programJsonFlash failed - programFlash failed\n");
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::invalidateJsonRecord(const std::string& devPath) {
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::invalidateJsonRecord failed - unable to open dev %s\n",
                     devPath.c_str());
        return false;
    }
    if (!enterSPIMode()) {
        logger_->log(kLogError, "Veltrion2CamMgr::invalidateJsonRecord failed - unable to switch to SPI mode\n");
        return false;
    }
    // Programming only clears bits: zeros over the tag need no erase.
    const std::array<uint8_t, 2> clearedTag{};
    uint8_t useSyncStatus = 1;
    if (!programFlash(flashmap::kJsonAddress, clearedTag.data(), static_cast<uint32_t>(clearedTag.size()), true,
                      useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::invalidateJsonRecord failed - programFlash failed\n");
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::programLUTs(const uint8_t* lut, const std::string& devPath) {
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programLUTs failed - unable to open dev %s\n", devPath.c_str());
        return false;
    }
    if (lut) std::copy(lut, lut + flashmap::kLutSize, lutBuffer_.begin());
    if (!enterSPIMode()) {
        logger_->log(kLogError, "Veltrion2CamMgr::programLUTs failed - unable to switch to SPI mode\n");
        return false;
    }
    uint8_t useSyncStatus = 1;
    if (!eraseFlashSectors(flash::addrHigh(flashmap::kLutAddress), flash::addrLow(flashmap::kLutAddress),
                           flash::kLutSectors, useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programLUTs failed - unable to erase sector 9-10.\n");
        return false;
    }
    flashProgress_.programProgressSpan = flash::kLutProgramSpan;
    if (!programFlash(flashmap::kLutAddress, lutBuffer_.data(), flashmap::kLutSize, true, useSyncStatus)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programLUTs failed - program LUT flash failed\n");
        return false;
    }
    return true;
}

}  // namespace veltrion

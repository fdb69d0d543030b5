// The configuration block, calibration, EEPROM and register operations of the
// manager. The block is rewritten read-patch-erase-write within one call, and
// the block as read is saved to a backup file before its sector is erased.

#include <algorithm>

#include "base/ByteLayout.h"
#include "base/LogPieces.h"
#include "config/ConfigBackup.h"
#include "manager/DeviceSession.h"
#include "manager/Veltrion2CamMgr.h"

namespace veltrion {

namespace {

using namespace configblock;

// Closes the camera that an earlier step left open, on every path out.
class CloseOnExit {
public:
    explicit CloseOnExit(B6Device& device) : device_(device) {}
    ~CloseOnExit() { device_.closeVeltrion2Dev(); }
    CloseOnExit(const CloseOnExit&) = delete;
    CloseOnExit& operator=(const CloseOnExit&) = delete;

private:
    B6Device& device_;
};

std::string serialOfImage(const std::vector<uint8_t>& image) {
    return ByteReader(image).text(kSerialOffset, kSerialSize).value_or("");
}

}  // namespace

bool Veltrion2CamMgr::getVeltrion2CamConfigBlock(CamConfigBlock& block, const std::string& devPath) {
    block = CamConfigBlock{};
    {
        DeviceSession session(*device_, devPath);
        if (!session.isOpen()) {
            logger_->log(kLogError, "Veltrion2CamMgr::getVeltrion2CamConfigBlock failed - unable to open dev %s\n",
                         devPath.c_str());
            return false;
        }
        if (!enterSPIMode()) {
            logger_->log(kLogError, "Veltrion2CamMgr::getVeltrion2CamConfigBlock failed - unable to switch to SPI mode\n");
            return false;
        }
        uint8_t* image = configBlockImage_.data();
        if (!readBlockAtAddr(kAddrHigh, kMainPageLow, image, kPageSize) ||
            !readBlockAtAddr(kAddrHigh, kSecondPageLow, image + kSecondPageOffset, kPageSize)) {
            logger_->log(kLogError, "Veltrion2CamMgr::getVeltrion2CamConfigBlock failed - read config block failed\n");
            return false;
        }
    }
    configBlockAsRead_ = configBlockImage_;
    parseMainPage(std::span<const uint8_t>(configBlockImage_).first(kPageSize), block);
    return true;
}

std::string Veltrion2CamMgr::configBlockToString(const CamConfigBlock& block) { return toText(block); }

void Veltrion2CamMgr::printConfigBlock(const CamConfigBlock& block) {
    // One message in the common case; a text longer than the logger's buffer
    // goes out in whole lines instead of being cut.
    forEachLogPiece(toText(block), [&](const std::string& piece) { logger_->log(kLogInfo, "%s", piece.c_str()); });
    for (size_t i = 0; i < kPrintedSecondPageBytes; ++i)
        logger_->log(kLogInfo, "0x%x: %x\n", static_cast<unsigned>(kSecondPageAddress + i),
                     configBlockImage_[kSecondPageOffset + i]);
}

bool Veltrion2CamMgr::prepareConfigBlockBuffer(const std::string& devPath) {
    CamConfigBlock current;
    if (!getVeltrion2CamConfigBlock(current, devPath)) return false;
    logger_->log(kLogInfo, "Veltrion2CamMgr::prepareConfigBlockBuffer: the existing config block data:\n");
    printConfigBlock(current);
    if (!device_->openVeltrion2Dev(devPath)) {
        logger_->log(kLogError, "Veltrion2CamMgr::prepareConfigBlockBuffer failed - unable to open dev %s\n",
                     devPath.c_str());
        return false;
    }
    if (!enterSPIMode()) {
        logger_->log(kLogError, "Veltrion2CamMgr::prepareConfigBlockBuffer failed - unable to switch to SPI mode\n");
        device_->closeVeltrion2Dev();
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::eraseAndWriteConfigBlock(const std::vector<uint8_t>& image, uint8_t& useSyncStatus,
                                               bool& erased) {
    erased = false;
    if (!eraseFlashSector(vreq::kFlashErase64K, kAddrHigh, kMainPageLow, useSyncStatus)) {
        logger_->log(kLogError,
                     "Veltrion2CamMgr::writeConfigBlockData failed - unable to erase config block at addr 0x80000, "
                     "64K erase failed\n");
        return false;
    }
    erased = true;
    return programFlash(kMainPageAddress, image.data(), kPageSize, true, useSyncStatus) &&
           programFlash(kSecondPageAddress, image.data() + kSecondPageOffset, kPageSize, true, useSyncStatus);
}

bool Veltrion2CamMgr::writeConfigBlockData(uint8_t& useSyncStatus) {
    // The sector holds the unit's only copy of its serial number, alignment
    // values and calibration: keep the block as read on this computer first.
    if (configBlockAsRead_.size() != kImageSize) {
        logger_->log(kLogError, "Veltrion2CamMgr::writeConfigBlockData failed - no config block was read to back up\n");
        return false;
    }
    // A backup that cannot be written is worth a warning, not a refusal: the
    // block as read stays in memory for the write-back below, and a refusal
    // would block every calibration write and an update's alignment step.
    std::string error;
    const auto backup = configbackup::save(configBlockAsRead_, serialOfImage(configBlockAsRead_), error);
    if (backup)
        logger_->log(kLogInfo, "Veltrion2CamMgr::writeConfigBlockData: config block backed up to %s\n",
                     backup->c_str());
    else
        logger_->log(kLogInfo,
                     "Veltrion2CamMgr::writeConfigBlockData: warning - unable to back up the config block (%s); "
                     "writing it without a backup\n",
                     error.c_str());

    bool erased = false;
    if (eraseAndWriteConfigBlock(configBlockImage_, useSyncStatus, erased)) return true;
    if (!erased) return false;

    // The sector is erased and half written: put the old block back, once.
    logger_->log(kLogError, "Veltrion2CamMgr::writeConfigBlockData - write failed, writing back the old config block\n");
    configBlockImage_ = configBlockAsRead_;
    if (eraseAndWriteConfigBlock(configBlockAsRead_, useSyncStatus, erased)) {
        logger_->log(kLogInfo, "Veltrion2CamMgr::writeConfigBlockData: the old config block is written back\n");
    } else {
        logger_->log(kLogError,
                     "Veltrion2CamMgr::writeConfigBlockData failed - unable to write back the old config block; "
                     "its backup is %s\n",
                     backup ? backup->c_str() : "missing: it could not be written");
    }
    return false;
}

bool Veltrion2CamMgr::setVeltrion2CamCTGData(int topCtg0, int topCtg1, int topCtg2, int rightCtg0, int rightCtg1,
                                             const std::string& devPath) {
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    if (!prepareConfigBlockBuffer(devPath)) return false;
    CloseOnExit closer(*device_);
    patchCtgValues(configBlockImage_, {topCtg0, topCtg1, topCtg2, rightCtg0, rightCtg1});
    uint8_t useSyncStatus = 1;
    if (!writeConfigBlockData(useSyncStatus)) {
        logger_->log(kLogError,
                     "Veltrion2CamMgr::setVeltrion2CamCTGData failed - reprogram config block ctg values failed.\n");
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::programCalibrationParam(const CalibrationParams& params, const std::string& devPath) {
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    if (!prepareConfigBlockBuffer(devPath)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programCalibrationParam failed on read config block\n");
        return false;
    }
    CloseOnExit closer(*device_);
    patchCalibration(configBlockImage_, params);
    uint8_t useSyncStatus = 1;
    if (!writeConfigBlockData(useSyncStatus)) {
        logger_->log(kLogError,
                     "Veltrion2CamMgr::programCalibrationParam failed - reprogram config block ctg values failed.\n");
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::getCalibrationParam(const std::string& devPath, CalibrationParams& params) {
    bool written = false;
    return readCalibrationParam(devPath, params, written) && written;
}

bool Veltrion2CamMgr::readCalibrationParam(const std::string& devPath, CalibrationParams& params, bool& written) {
    written = false;
    std::vector<uint8_t> reply(kCalibrationSize, flashmap::kErasedByte);
    {
        DeviceSession session(*device_, devPath);
        if (!session.isOpen()) {
            logger_->log(kLogError, "Veltrion2CamMgr::getCalibrationParam failed - unable to open dev %s\n",
                         devPath.c_str());
            return false;
        }
        for (int retry = 0;; ++retry) {
            if (device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kQuery, 0, vreq::kQueryCalibration,
                                                reply.data(), static_cast<uint16_t>(reply.size())))
                break;
            if (retry >= flash::kMaxRetries) {
                logger_->log(kLogError,
                             "Veltrion2CamMgr::getCalibrationParam failed - vendor command to read failed\n");
                return false;
            }
            logger_->log(kLogError, "Veltrion2CamMgr::getCalibrationParam failed on read. Retry %d now. Max retry %d\n",
                         retry, flash::kMaxRetries);
            if (!reopenForRetry()) {
                logger_->log(kLogError, "Veltrion2CamMgr::getCalibrationParam unable to reopen device\n");
                return false;
            }
        }
    }
    if (isErased(reply)) return true;  // never written: no message
    params = *parseCalibration(reply);
    written = true;
    return true;
}

bool Veltrion2CamMgr::getEEPROMValue(const std::string& devPath, uint16_t address, std::span<uint8_t> destination) {
    if (destination.size() > kMaxEepromReadLength) {
        logger_->log(kLogError, "Veltrion2CamMgr::getEEPROMValue failed - length %zu above the %u-byte request limit\n",
                     destination.size(), kMaxEepromReadLength);
        return false;
    }
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::getEEPROMValue failed - unable to open dev %s\n", devPath.c_str());
        return false;
    }
    if (!device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kEeprom, 0, address, destination.data(),
                                         static_cast<uint16_t>(destination.size()))) {
        logger_->log(kLogError, "Veltrion2CamMgr::getEEPROMValue failed - get send vendor command 0xFC for addr %x\n",
                     address);
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::selectRegisterBranch(const reg::RegisterTarget& target) {
    uint8_t ignored[reg::kDataSize] = {};
    return device_->sendUsbControlTransfer(vreq::kTypeIn, reg::kSelectBranch, target.branchValue, target.branchIndex,
                                           ignored, reg::kDataSize);
}

bool Veltrion2CamMgr::readRegister(int type, uint16_t address, uint16_t& value) {
    const reg::RegisterTarget* target = reg::findTarget(type);
    if (!target) {
        logger_->log(kLogError, "Veltrion2CamMgr::readRegister failed - unsupported type %d\n", type);
        return false;
    }
    if (!selectRegisterBranch(*target)) {
        logger_->log(kLogError, "Veltrion2CamMgr::readRegister failed to set expander branch %04x failed\n",
                     target->branchIndex);
        return false;
    }
    uint8_t reply[reg::kDataSize] = {};
    if (!device_->sendUsbControlTransfer(vreq::kTypeIn, target->readRequest, target->readValue, address, reply,
                                         reg::kDataSize)) {
        switch (target->kind) {
            case reg::TargetKind::Fpga:
                logger_->log(kLogError, "Veltrion2CamMgr::readRegister read FPGA reg - read reg %04x failed.\n", address);
                break;
            case reg::TargetKind::Isp:
                logger_->log(kLogError, "Veltrion2CamMgr::readRegister read ISP(%d) reg - read reg %04x failed.\n",
                             target->unit, address);
                break;
            case reg::TargetKind::Sensor:
                logger_->log(kLogError, "Veltrion2CamMgr::readRegister read Sensor(%d) reg - read reg %04x failed.\n",
                             target->unit, address);
                break;
        }
        return false;
    }
    value = *ByteReader(reply).be16(0);
    return true;
}

bool Veltrion2CamMgr::writeRegister(int type, uint16_t address, uint16_t value) {
    const reg::RegisterTarget* target = reg::findTarget(type);
    if (!target) {
        logger_->log(kLogError, "Veltrion2CamMgr::writeRegister failed - unsupported type %d\n", type);
        return false;
    }
    if (!selectRegisterBranch(*target)) {
        logger_->log(kLogError, "Veltrion2CamMgr::writeRegister failed to set expander branch %04x failed\n",
                     target->branchIndex);
        return false;
    }
    const uint16_t wireValue = target->swapWriteValue ? reg::swapBytes(value) : value;
    uint8_t ignored[reg::kDataSize] = {};
    if (!device_->sendUsbControlTransfer(vreq::kTypeIn, target->writeRequest, wireValue, address, ignored,
                                         reg::kDataSize)) {
        switch (target->kind) {
            case reg::TargetKind::Fpga:
                logger_->log(kLogError, "Veltrion2CamMgr::writeRegister write FPGA reg - write reg %04x failed.\n",
                             address);
                break;
            case reg::TargetKind::Isp:
                logger_->log(kLogError, "Veltrion2CamMgr::writeRegister write ISP reg - write reg %04x failed.\n",
                             address);
                break;
            case reg::TargetKind::Sensor:
                logger_->log(kLogError, "Veltrion2CamMgr::writeRegister write Sensor reg - write reg %04x failed.\n",
                             address);
                break;
        }
        return false;
    }
    return true;
}

}  // namespace veltrion

// Boot-mode recovery: cameras whose controller found no bootable firmware
// wait as the ROM boot loader. The FX3 firmware of an update image is
// downloaded into their RAM and started; once they are back as cameras, the
// damaged images of their boot chain are written into flash again.

#include <algorithm>

#include "base/WaitClock.h"
#include "device/CameraIdentity.h"
#include "image/ImageSelection.h"
#include "manager/DeviceSession.h"
#include "manager/Veltrion2CamMgr.h"
#include "device/VendorRequests.h"
#include "format/FlashMap.h"
#include "format/Fx3BootImage.h"

namespace veltrion {

namespace {

constexpr uint16_t kDownloadChunk = 4096;
constexpr int kFlashReadRetries = 2;
// Boot-chain images are read in growing chunks until their walk ends.
constexpr uint32_t kFirstReadSize = 4 * 1024;
// The operation named in the lines of a failed boot-chain read.
constexpr const char* kBootCheck = "isDevFX3Valid";

constexpr uint16_t low16(uint32_t value) { return static_cast<uint16_t>(value & 0xFFFF); }
constexpr uint16_t high16(uint32_t value) { return static_cast<uint16_t>(value >> 16); }

}  // namespace

bool Veltrion2CamMgr::loadBootProgram(const uint8_t* image, size_t length, const std::string& devPath) {
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::loadBootProgram - open %s device path failed\n", devPath.c_str());
        return false;
    }
    UpdatePackage package;
    if (!parseUpdatePackage(image, length, package)) {
        logger_->log(kLogError, "Veltrion2CamMgr::loadBootProgram - failed to parse Update package\n");
        return false;
    }
    if (!isValidFx3Data(package.fx3.data(), package.fx3.size())) {
        logger_->log(kLogError, "Veltrion2CamMgr::loadBootProgram - invalid fx3 data\n");
        return false;
    }

    const Fx3ImageLayout layout = inspectFx3BootImage(package.fx3);
    std::vector<uint8_t> readBack(kDownloadChunk);
    for (const Fx3Section& section : layout.sections) {
        const size_t sectionEnd = section.offset + section.length;
        for (size_t sent = 0; sent < section.length; sent += kDownloadChunk) {
            const auto chunk = static_cast<uint16_t>(std::min<size_t>(kDownloadChunk, section.length - sent));
            const uint32_t address = section.loadAddress + static_cast<uint32_t>(sent);
            // The boot loader takes its data from a buffer it does not change.
            std::vector<uint8_t> data(package.fx3.begin() + static_cast<std::ptrdiff_t>(section.offset + sent),
                                      package.fx3.begin() + static_cast<std::ptrdiff_t>(section.offset + sent + chunk));
            if (!device_->sendUsbControlTransfer(vreq::kBootTypeOut, vreq::kBootLoaderDownload, low16(address),
                                                 high16(address), data.data(), chunk)) {
                logger_->log(kLogError, "Veltrion2CamMgr::loadBootProgram - send control transfer failed at request type 0x40\n");
                return false;
            }
            if (!device_->sendUsbControlTransfer(vreq::kBootTypeIn, vreq::kBootLoaderDownload, low16(address),
                                                 high16(address), readBack.data(), chunk)) {
                logger_->log(kLogError, "Veltrion2CamMgr::loadBootProgram - send control transfer failed at request type 0xC0\n");
                return false;
            }
            if (!std::equal(data.begin(), data.end(), readBack.begin())) {
                logger_->log(kLogError, "Veltrion2CamMgr::loadBootProgram - verify failed at offset %d, dLen %d\n",
                             static_cast<int>(sectionEnd), static_cast<int>(section.length - sent));
                return false;
            }
        }
    }
    if (!device_->sendUsbControlTransfer(vreq::kBootTypeOut, vreq::kBootLoaderDownload, low16(layout.entryPoint),
                                         high16(layout.entryPoint), nullptr, 0)) {
        logger_->log(kLogError, "Veltrion2CamMgr::loadBootProgram - failed to send control transfer set PC\n");
        return false;
    }
    session.release();  // the controller runs the new firmware and enumerates again
    return true;
}

bool Veltrion2CamMgr::readFlashWithoutSpiMode(uint32_t address, uint8_t* destination, uint32_t length,
                                              const char* operation) {
    for (uint32_t done = 0; done < length; done += flashmap::kPageSize) {
        const uint32_t current = address + done;
        const auto chunk = static_cast<uint16_t>(std::min(flashmap::kPageSize, length - done));
        for (int attempt = 0;; ++attempt) {
            if (device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kFlashRead, high16(current), low16(current),
                                                destination + done, chunk))
                break;
            if (attempt == kFlashReadRetries) {
                logger_->log(kLogError, "Veltrion2CamMgr::%s failed to read flash at addr %u\n", operation, current);
                return false;
            }
            logger_->log(kLogError, "Veltrion2CamMgr::%s failed on read control transfer. Retry %d now. Max Retry %d\n",
                         operation, attempt + 1, kFlashReadRetries);
            if (!device_->reopenVeltrion2Dev()) {
                logger_->log(kLogError, "Veltrion2CamMgr::%s unable to reopen device\n", operation);
                return false;
            }
            WaitClock::sleepFor(retryPause_);
        }
    }
    return true;
}

std::optional<bool> Veltrion2CamMgr::isBootImageValid(uint32_t address, uint32_t regionSize, const char* operation) {
    // Read only as much of the region as the image's own section chain needs.
    std::vector<uint8_t> bytes;
    uint32_t wanted = kFirstReadSize;
    for (;;) {
        const auto have = static_cast<uint32_t>(bytes.size());
        bytes.resize(wanted);
        if (!readFlashWithoutSpiMode(address + have, bytes.data() + have, wanted - have, operation)) return std::nullopt;
        const Fx3ImageCheck check = inspectFx3BootImage(bytes).check;
        if (check != Fx3ImageCheck::Unterminated || wanted == regionSize) break;
        wanted = std::min(regionSize, wanted * 2);
    }
    return isValidFx3Data(bytes.data(), bytes.size());
}

std::optional<BootChainState> Veltrion2CamMgr::inspectBootChain(const std::string& devPath) {
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::isDevFX3Valid failed - unable to open dev %s\n", devPath.c_str());
        return std::nullopt;
    }
    const auto bootLoader = isBootImageValid(flashmap::kBootLoaderAddress, flashmap::kBootLoaderRegionSize, kBootCheck);
    if (!bootLoader) return std::nullopt;
    const auto fx3 = isBootImageValid(flashmap::kFx3Address, flashmap::kFx3RegionSize, kBootCheck);
    if (!fx3) return std::nullopt;
    return BootChainState{*bootLoader, *fx3};
}

bool Veltrion2CamMgr::isDevFX3Valid(const std::string& devPath) {
    const auto chain = inspectBootChain(devPath);
    return chain && chain->bootLoaderValid && chain->fx3Valid;
}

void Veltrion2CamMgr::recoverAllCamsFX3(const uint8_t* image, size_t length) { recoverBootModeCameras(image, length); }

bool Veltrion2CamMgr::recoverBootModeCameras(const uint8_t* image, size_t length) {
    std::vector<std::string> brokenPaths;
    if (!device_->getBrokenVeltrion2DevPaths(brokenPaths) || brokenPaths.empty()) return true;

    // A unified package carries one image per camera model: the controller
    // of a boot-mode camera is brought up with the first image whose FX3
    // firmware is sound, and each camera's flash then gets its own model's.
    const RecoveryImages images = recoveryImages(image, length);
    const int waitSeconds = static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(recoveryWait_).count());

    bool allRecovered = true;
    for (const auto& path : brokenPaths) {
        logger_->log(kLogInfo, "Veltrion2CamMgr::recoverAllCamsFX3 - found westbridge cam %s - try recovering its FX3\n",
                     path.c_str());
        if (!loadBootProgram(images.download.data(), images.download.size(), path)) {
            logger_->log(kLogInfo, "Veltrion2CamMgr::recoverAllCamsFX3 - failed to bring up cam %s\n", path.c_str());
            allRecovered = false;
        }
    }
    logger_->log(kLogInfo, "Veltrion2CamMgr::recoverAllCamsFX3 - waiting %d secs for the device to load\n", waitSeconds);
    WaitClock::sleepFor(recoveryWait_);

    std::vector<std::string> paths;
    if (!getCameraList(paths)) {
        logger_->log(kLogError,
                     "Veltrion2CamMgr::recoverAllCamsFX3 - ERROR: previous westbridge device(s) not come back up within %d secs as no live cam\n",
                     waitSeconds);
        return false;
    }
    UpdatePackage downloadPackage;
    if (!parseUpdatePackage(images.download.data(), images.download.size(), downloadPackage)) {
        logger_->log(kLogError, "Veltrion2CamMgr::recoverAllCamsFX3 - failed to prase update package\n");
        return false;
    }

    bool anyInvalid = false;
    for (const auto& path : paths) {
        const auto chain = inspectBootChain(path);
        if (chain && chain->bootLoaderValid && chain->fx3Valid) continue;
        anyInvalid = true;
        logger_->log(kLogInfo, "Veltrion2CamMgr::recoverAllCamsFX3 - recovering invalid fx3 data. Previous error ignored.\n");
        UpdatePackage ownImage;
        const UpdatePackage* own = ownModelImage(path, images, downloadPackage, ownImage);
        if (!own) {
            allRecovered = false;
            continue;
        }
        if (!repairBootChain(path, chain.value_or(BootChainState{}), *own)) {
            logger_->log(kLogError, "Veltrion2CamMgr::recoverAllCamsFX3 - failed to program FX3 for cam %s\n", path.c_str());
            allRecovered = false;
        }
    }
    if (!anyInvalid)
        logger_->log(kLogError,
                     "Veltrion2CamMgr::recoverAllCamsFX3 - ERROR: previous westbridge device(s) not come back up within %d secs as no cam with invalid fx3\n",
                     waitSeconds);

    // A controller that did not come back stays unrecovered.
    std::vector<std::string> stillBroken;
    if (device_->getBrokenVeltrion2DevPaths(stillBroken) && !stillBroken.empty()) {
        logger_->log(kLogError, "Veltrion2CamMgr::recoverAllCamsFX3 - %zu camera(s) still in boot mode\n", stillBroken.size());
        allRecovered = false;
    }
    return allRecovered;
}

Veltrion2CamMgr::RecoveryImages Veltrion2CamMgr::recoveryImages(const uint8_t* image, size_t length) {
    RecoveryImages images;
    images.package.assign(image, image + length);
    if (length < 4 || !std::equal(unifiedimage::kMagic.begin(), unifiedimage::kMagic.end(), image)) {
        images.download = images.package;
        return images;
    }
    images.fromPackage = true;
    UnifiedPackage& unified = images.unified;
    Logger quiet(-1);  // a package that does not parse is reported by the later steps
    if (!images::parseUpdatePackage(images.package, unified, quiet)) return images;
    for (size_t i = 0; i < unified.imageCount(); ++i) {
        UpdatePackage candidate;
        const auto bytes = unified.image(i);
        if (images::parseUpdatePackage(bytes, candidate, quiet) &&
            validateFx3BootImage(candidate.fx3) == Fx3ImageCheck::Ok) {
            images.download.assign(bytes.begin(), bytes.end());
            break;
        }
    }
    return images;
}

const UpdatePackage* Veltrion2CamMgr::ownModelImage(const std::string& devPath, const RecoveryImages& images,
                                                    const UpdatePackage& downloadPackage, UpdatePackage& storage) {
    // Flash only ever gets the camera's own model's firmware: the controller
    // may run another model's firmware from RAM, but its flash must boot it
    // as what it is.
    CameraInfo info;
    if (!getVeltrion2Info(info, devPath)) {
        logger_->log(kLogError, "Veltrion2CamMgr::recoverAllCamsFX3 - failed to obtain cam info of %s - its flash is not repaired\n",
                     devPath.c_str());
        return nullptr;
    }
    const std::string cameraGroup = getFwGroupFromVidPid(info.vendorId, info.productId);
    if (images.fromPackage) {
        const ImageChoice choice = chooseImageForCamera(images.unified, info.vendorId, info.productId);
        const bool parsed = choice.index >= 0 &&
                            parseUpdatePackage(images.unified.image(static_cast<size_t>(choice.index)).data(),
                                               images.unified.image(static_cast<size_t>(choice.index)).size(), storage);
        if (!parsed) {
            logger_->log(kLogError,
                         "Veltrion2CamMgr::recoverAllCamsFX3 - no image of the package fits cam %s (%04x:%04x) - its "
                         "flash is not repaired\n",
                         devPath.c_str(), info.vendorId, info.productId);
            return nullptr;
        }
        return &storage;
    }
    const std::string imageGroup = getFwGroupFromFx3VerStr(versionToString(downloadPackage.fx3Version));
    if (cameraGroup.empty() || cameraGroup != imageGroup) {
        logger_->log(kLogError,
                     "Veltrion2CamMgr::recoverAllCamsFX3 - the image (group %s) does not fit cam %s (group %s) - its "
                     "flash is not repaired\n",
                     imageGroup.c_str(), devPath.c_str(), cameraGroup.c_str());
        return nullptr;
    }
    return &downloadPackage;
}

bool Veltrion2CamMgr::repairBootChain(const std::string& devPath, const BootChainState& chain,
                                      const UpdatePackage& package) {
    // The FX3 firmware is written whenever the chain was broken, so that the
    // camera boots after its next reset what it runs now.
    if (!programFX3Flash(true, package.fx3.data(), static_cast<uint32_t>(package.fx3.size()), devPath)) return false;
    if (!chain.bootLoaderValid) {
        // Compared by checksum query or read-back, as during an update.
        bool checksumUnsupported = false;
        if (!updateCameraFirmware(flash::kCompBootLoader, fx3image::kSignature0, fx3image::kSignature1,
                                  flashmap::kBootLoaderAddress, flashmap::kBootLoaderRegionSize,
                                  package.bootloader.data(), static_cast<uint32_t>(package.bootloader.size()),
                                  checksumUnsupported, devPath, "bootloader"))
            return false;
    }
    return true;
}

}  // namespace veltrion

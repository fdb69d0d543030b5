// The firmware update of one camera or of every camera from an update image,
// the choice of a camera's image out of a unified package, and the update
// check with its time estimate.

#include <algorithm>
#include <cstring>

#include "image/ImageSelection.h"
#include "manager/Veltrion2CamMgr.h"
#include "device/CameraIdentity.h"
#include "format/FlashMap.h"
#include "format/Fx3BootImage.h"

namespace veltrion {

namespace {

// Share of each step in the 100 percent of an update.
constexpr int kShareBackupFx3 = 7;
constexpr int kShareBootLoader = 1;
constexpr int kShareFpga = 80;
constexpr int kShareFx3 = 7;
constexpr int kShareAudio = 1;
constexpr int kShareIsp = 3;
constexpr int kShareLut = 1;
constexpr int kProgressDone = 100;

// Seconds an update takes, by its most expensive reason.
constexpr unsigned kSecondsWholeUpdate = 600;
constexpr unsigned kSecondsFpga = 570;
constexpr unsigned kSecondsFx3 = 20;
constexpr unsigned kSecondsAudio = 5;
constexpr unsigned kSecondsIsp = 5;
// Repairs that no version shows: a boot loader or backup FX3 firmware that
// is not sound, or a feature JSON record that is not the image's.
constexpr unsigned kSecondsBootComponents = 20;
constexpr unsigned kSecondsJson = 5;

constexpr size_t kMagicSize = 4;

bool hasMagic(const uint8_t* bytes, size_t length, std::string_view magic) {
    return bytes && length >= kMagicSize && std::memcmp(bytes, magic.data(), kMagicSize) == 0;
}

bool isUnifiedPackage(const uint8_t* bytes, size_t length) { return hasMagic(bytes, length, unifiedimage::kMagic); }

}  // namespace

void Veltrion2CamMgr::beginProgressStep(const char* stepName) { flashProgress_.stepName = stepName; }

void Veltrion2CamMgr::addProgress(int share) {
    flashProgress_.progressBase += share;
    reportFlashProgress(flashProgress_.progressBase);
}

bool Veltrion2CamMgr::updateCameraFirmware(bool force, bool& updated, uint16_t vendorId, uint16_t productId,
                                           const std::string& devPath, const std::string& imagePath) {
    updated = false;
    std::vector<uint8_t> file;
    if (!openAndReadFile(imagePath, file)) {
        logger_->log(kLogError, "updateCameraFirmware: failed to read file %s\n", imagePath.c_str());
        return false;
    }
    if (isUnifiedPackage(file.data(), file.size())) {
        std::vector<uint8_t> image;
        if (!getFirmwareFromUnifiedImg(file.data(), file.size(), vendorId, productId, image, devPath)) {
            logger_->log(kLogError, "updateCameraFirmware: failed to select firmware from package\n");
            return false;
        }
        return updateCameraFirmware(image.data(), image.size(), force, updated, devPath);
    }
    if (hasMagic(file.data(), file.size(), singleimage::kMagic))
        return updateCameraFirmware(file.data(), file.size(), force, updated, devPath);
    uint8_t head[kMagicSize] = {};
    std::memcpy(head, file.data(), std::min(file.size(), kMagicSize));
    logger_->log(kLogError, "updateCameraFirmware: invalid header %x %x %x %x\n", head[0], head[1], head[2], head[3]);
    return false;
}

bool Veltrion2CamMgr::selectImageFromPackage(const uint8_t* package, size_t length, uint16_t vendorId,
                                             uint16_t productId, std::vector<uint8_t>& image,
                                             const char* parseFailureMessage) {
    UnifiedPackage unified;
    if (!parseUpdatePackage(package, length, unified)) {
        logger_->log(kLogError, "%s", parseFailureMessage);
        return false;
    }
    const ImageChoice choice = chooseImageForCamera(unified, vendorId, productId);
    if (choice.index < 0) {
        logger_->log(kLogError,
                     "Veltrion2CamMgr::getFirmwareFromUnifiedImg - failed to find valid image file for your device, "
                     "matchIdx %d, numGroupMatch %d\n",
                     choice.matchIndex, choice.groupMatches);
        return false;
    }
    const auto chosen = unified.image(static_cast<size_t>(choice.index));
    image.assign(chosen.begin(), chosen.end());
    return true;
}

bool Veltrion2CamMgr::getFirmwareFromUnifiedImg(const uint8_t* package, size_t length, uint16_t vendorId,
                                                uint16_t productId, std::vector<uint8_t>& image,
                                                const std::string& devPath) {
    CameraInfo info;
    if (!getVeltrion2Info(info, devPath)) {
        logger_->log(kLogError, "Veltrion2CamMgr::getFirmwareFromUnifiedImg - failed to obtain cam info\n");
        return false;
    }
    if (vendorId == 0 && productId == 0) {
        vendorId = info.vendorId;
        productId = info.productId;
    }
    return selectImageFromPackage(
        package, length, vendorId, productId, image,
        "Veltrion2CamMgr::getFirmwareFromUnifiedImg - failed to parse unified update package\n");
}

bool Veltrion2CamMgr::getImageAvailableFirmware(const uint8_t* package, size_t length, uint16_t vendorId,
                                                uint16_t productId, std::vector<uint8_t>& image) {
    if (!isUnifiedPackage(package, length)) {
        image.assign(package, package + length);
        logger_->log(kLogInfo, "Veltrion2CamMgr::getFirmwareFromUnifiedImg - image is not VUNI using VLTN image\n");
        return true;
    }
    return selectImageFromPackage(
        package, length, vendorId, productId, image,
        "Veltrion2CamMgr::getImageAvailableFirmware - failed to parse unified update package\n");
}

bool Veltrion2CamMgr::updateCameraFirmware(const uint8_t* image, size_t length, bool force, bool& updated,
                                           const std::string& devPath) {
    updated = false;
    flashProgress_.progressBase = 0;
    // Held for the whole update: the component writers take it again.
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;

    CameraInfo info;
    if (!getVeltrion2Info(info, devPath)) {
        logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed to obtain cam info\n");
        return false;
    }
    UpdatePackage package;
    if (!parseUpdatePackage(image, length, package)) {
        logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed to parse Update package\n");
        return false;
    }

    // The image must be made for the camera's firmware group.
    if (!imageFitsCameraGroup(info, package, "updateCameraFirmware", "")) return false;

    // What flash holds decides too: a component cut off half way is
    // rewritten even when the version the camera reports is the image's.
    const auto judged = judgeFlashAgainstImage(package, devPath);
    if (!judged) {
        logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed to read the camera's flash\n");
        return false;
    }

    bool forceFx3AudioIsp = false;
    if (!info.versionsValid) {
        logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - camera fw version not reliable - forcing update FX3, Audio, and ISP\n");
        forceFx3AudioIsp = true;
    }
    bool checkBoot = false;
    if (!info.versionsRead) {
        logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - camera fw version not working - forcing update all components\n");
        force = true;
        checkBoot = true;
    } else {
        checkBoot = force || forceFx3AudioIsp || package.fpga.version != info.fpgaVersion ||
                    package.fx3Version != info.fx3Version || package.audio.version != info.audioVersion ||
                    package.isp.version != info.ispVersion || !judged->allSound();
    }
    updated = checkBoot;

    // Set by the first component whose checksum query fails; from then on
    // every writer verifies by reading back.
    bool checksumUnsupported = false;

    // Before the first write, the feature JSON record stops being the
    // image's; the update's last step writes it. A cut anywhere in between
    // (even when the camera's old record equals the image's) leaves a camera
    // that the next update check finds unfinished.
    bool recordInvalidated = false;
    auto invalidateRecordOnce = [&] {
        if (recordInvalidated) return true;
        recordInvalidated = invalidateJsonRecord(devPath);
        if (!recordInvalidated)
            logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed to invalidate the JSON record\n");
        return recordInvalidated;
    };
    if (checkBoot && !invalidateRecordOnce()) return false;

    if (checkBoot) {
        logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - checking bootloader & backup fx3 if update is needed\n");
        beginProgressStep("FX3B");
        if (!updateCameraFirmware(flash::kCompBackupFx3, fx3image::kSignature0, fx3image::kSignature1,
                                  flashmap::kBackupFx3Address, flashmap::kBackupFx3RegionSize,
                                  package.backupFx3.data(), static_cast<uint32_t>(package.backupFx3.size()),
                                  checksumUnsupported, devPath, "backup fx3"))
            return false;
        addProgress(kShareBackupFx3);
        beginProgressStep("BL");
        if (!updateCameraFirmware(flash::kCompBootLoader, fx3image::kSignature0, fx3image::kSignature1,
                                  flashmap::kBootLoaderAddress, flashmap::kBootLoaderRegionSize,
                                  package.bootloader.data(), static_cast<uint32_t>(package.bootloader.size()),
                                  checksumUnsupported, devPath, "bootloader"))
            return false;
        addProgress(kShareBootLoader);
    }

    beginProgressStep("FPGA");
    logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - FPGA ver in file %04x, FPGA ver in cam %04x, force update %d\n",
                 package.fpga.version, info.fpgaVersion, force);
    if (force || package.fpga.version != info.fpgaVersion || !judged->fpgaSound) {
        logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - updating FPGA firmware\n");
        if (!programFPGAFlash(checksumUnsupported, package.fpga.data.data(), static_cast<uint32_t>(package.fpga.length()),
                              package.fpga.flashAddress, devPath)) {
            logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed program FPGA\n");
            return false;
        }
        if (!checksumUnsupported && !verifyFirmwareCheckSum(devPath, flash::kCompFpga)) {
            logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed to verify FPGA checksum!\n");
            return false;
        }
        updated = true;
    } else {
        logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - FPGA ver is same, not updating FPGA\n");
        addProgress(kShareFpga);
    }

    beginProgressStep("FX3M");
    logger_->log(kLogInfo,
                 "Veltrion2CamMgr::updateCameraFirmware - FX3 ver in file %04x, FX3 ver in cam %04x, force update %d, force FX3AudioIsp update %d\n",
                 package.fx3Version, info.fx3Version, force, forceFx3AudioIsp);
    if (force || forceFx3AudioIsp || package.fx3Version != info.fx3Version || !judged->fx3Sound) {
        logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - updating FX3 firmware\n");
        if (!programFX3Flash(checksumUnsupported, package.fx3.data(), static_cast<uint32_t>(package.fx3.size()), devPath)) {
            logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed program FX3\n");
            return false;
        }
        if (!checksumUnsupported && !verifyFirmwareCheckSum(devPath, flash::kCompFx3)) {
            logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed to verify main fx3 checksum!\n");
            return false;
        }
        updated = true;
    } else {
        logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - FX3 ver is same, not updating FX3\n");
    }
    addProgress(kShareFx3);

    beginProgressStep("AUDIO");
    logger_->log(kLogInfo,
                 "Veltrion2CamMgr::updateCameraFirmware - audio ver in file %04x, audio ver in cam %04x, force update %d, force FX3AudioIsp update %d\n",
                 package.audio.version, info.audioVersion, force, forceFx3AudioIsp);
    if (force || forceFx3AudioIsp || package.audio.version != info.audioVersion || !judged->audioSound) {
        logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - updating Audio firmware\n");
        if (!programAudioFlash(checksumUnsupported, package.audio.data.data(),
                               static_cast<uint32_t>(package.audio.length()), package.audio.flashAddress, devPath)) {
            logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed program Audio\n");
            return false;
        }
        if (!checksumUnsupported && !verifyFirmwareCheckSum(devPath, flash::kCompAudio)) {
            logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed to verify audio checksum!\n");
            return false;
        }
        updated = true;
    } else {
        logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - Audio ver is same, not updating Audio\n");
    }
    addProgress(kShareAudio);

    beginProgressStep("ISP");
    logger_->log(kLogInfo,
                 "Veltrion2CamMgr::updateCameraFirmware - ISP ver in file %04x, ISP ver in cam %04x, force update %d, force FX3AudioIsp update %d\n",
                 package.isp.version, info.ispVersion, force, forceFx3AudioIsp);
    if (force || forceFx3AudioIsp || package.isp.version != info.ispVersion || !judged->ispSound) {
        logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - updating ISP firmware\n");
        if (!programISPFlash(checksumUnsupported, package.isp.data.data(), static_cast<uint32_t>(package.isp.length()),
                             package.isp.flashAddress, devPath)) {
            logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed program ISP\n");
            return false;
        }
        if (!checksumUnsupported && !verifyFirmwareCheckSum(devPath, flash::kCompIsp)) {
            logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed to verify ISP checksum!\n");
            return false;
        }
        updated = true;
    } else {
        logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - ISP ver is same, not updating ISP\n");
    }
    addProgress(kShareIsp);

    beginProgressStep("LUT");
    if (!package.serialNumbers.empty()) {
        logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - LUT exist, check if current CAM has LUT to update\n");
        const auto match = std::find(package.serialNumbers.begin(), package.serialNumbers.end(), info.serialNumber);
        const char* serial = info.serialNumber.c_str();
        if (match != package.serialNumbers.end()) {
            if (!invalidateRecordOnce()) return false;
            const size_t index = static_cast<size_t>(match - package.serialNumbers.begin());
            logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - found: mathcing serial %s - updating LUT, alignment data\n",
                         serial);
            if (!programLUTs(package.lookupTable(index).data(), devPath)) {
                logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed to program LUT for camera %s\n", serial);
                return false;
            }
            const AlignmentValues& alignment = package.alignmentData[index];
            if (!setVeltrion2CamCTGData(alignment[0], alignment[1], alignment[2], alignment[3], alignment[4], devPath)) {
                logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed to program alignment data for camera %s\n",
                             serial);
                return false;
            }
            updated = true;
        } else {
            logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - LUT not updated because no LUT for serial %s found\n",
                         serial);
        }
    }

    // The new feature layout's factory defaults, then its JSON record, end
    // the update: a cut anywhere before leaves a record that is not the
    // image's, so the next update finishes the job, defaults included, and
    // a completed update is never redone over values set after it.
    if (updated && featureDefaultsInUpdate_ &&
        !programDefaultFeatureValues(std::string(package.json.begin(), package.json.end()), devPath)) {
        logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed to program default feature values\n");
        return false;
    }
    if (updated && !programJsonFlash(package.json.data(), static_cast<uint32_t>(package.json.size()), devPath)) {
        logger_->log(kLogError, "Veltrion2CamMgr::updateCameraFirmware - failed program JSON\n");
        return false;
    }

    addProgress(kShareLut);
    beginProgressStep("");
    reportFlashProgress(kProgressDone);
    logger_->log(kLogInfo, "Veltrion2CamMgr::updateCameraFirmware - camera \"%s\" updated.\n", info.serialNumber.c_str());
    return true;
}

bool Veltrion2CamMgr::imageFitsCameraGroup(const CameraInfo& info, const UpdatePackage& package, const char* operation,
                                           const char* lineEnd) {
    const std::string cameraGroup = getFwGroupFromVidPid(info.vendorId, info.productId);
    if (cameraGroup.empty()) {
        logger_->log(kLogError, "Veltrion2CamMgr::%s - failed to get current fw group from vid %04x, pid %04x\n", operation,
                     info.vendorId, info.productId);
        return false;
    }
    const std::string fx3VersionText = versionToString(package.fx3Version);
    const std::string imageGroup = getFwGroupFromFx3VerStr(fx3VersionText);
    if (imageGroup.empty()) {
        logger_->log(kLogError, "Veltrion2CamMgr::%s - failed to get image fw group from fx3 ver %s\n", operation,
                     fx3VersionText.c_str());
        return false;
    }
    if (cameraGroup != imageGroup) {
        logger_->log(kLogError, "Veltrion2CamMgr::%s - fw group type mismatched. Current %s, Img given %s%s", operation,
                     cameraGroup.c_str(), imageGroup.c_str(), lineEnd);
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::updateCameraFirmwareAllCams(const std::string& imagePath, bool force, bool& anyUpdated) {
    anyUpdated = false;
    std::vector<uint8_t> file;
    if (!openAndReadFile(imagePath, file)) {
        logger_->log(kLogError, "updateCameraFirmwareAllCams: failed to read file %s\n", imagePath.c_str());
        return false;
    }
    return updateCameraFirmwareAllCams(file.data(), file.size(), force, anyUpdated);
}

bool Veltrion2CamMgr::updateCameraFirmwareAllCams(const uint8_t* image, size_t length, bool force, bool& anyUpdated) {
    anyUpdated = false;
    // A camera left in boot mode, or one whose boot chain could not be
    // written, fails the run once the other cameras are updated.
    const bool recovered = recoverBootModeCameras(image, length);
    if (!recovered) logger_->log(kLogError, "updateCameraFirmwareAllCams: not every boot-mode camera was recovered\n");

    std::vector<std::string> paths;
    if (!getCameraList(paths)) {
        logger_->log(kLogError, "updateCameraFirmwareAllCams: no device found\n");
        return recovered;
    }
    for (const auto& path : paths) {
        bool updated = false;
        if (!updateFromImageOrPackage(image, length, force, updated, path)) {
            logger_->log(kLogError, "updateCameraFirmwareAllCams: failed to update device %s\n", path.c_str());
            return false;
        }
        anyUpdated = anyUpdated || updated;
    }
    return recovered;
}

bool Veltrion2CamMgr::updateFromImageOrPackage(const uint8_t* image, size_t length, bool force, bool& updated,
                                               const std::string& devPath) {
    // Each camera takes its own image out of a unified package, as the
    // single-camera update does.
    if (!isUnifiedPackage(image, length)) return updateCameraFirmware(image, length, force, updated, devPath);
    updated = false;
    std::vector<uint8_t> chosen;
    if (!getFirmwareFromUnifiedImg(image, length, 0, 0, chosen, devPath)) return false;
    return updateCameraFirmware(chosen.data(), chosen.size(), force, updated, devPath);
}

bool Veltrion2CamMgr::isUpdateNeeded(const std::string& imagePath, bool force, bool& needed, unsigned& seconds,
                                     const std::string& devPath) {
    needed = false;
    seconds = 0;
    std::vector<uint8_t> file;
    if (!openAndReadFile(imagePath, file)) {
        logger_->log(kLogError, "Veltrion2CamMgr::isUpdateNeeded: failed to read file %s\n", imagePath.c_str());
        return false;
    }
    return isUpdateNeeded(file.data(), file.size(), force, needed, seconds, devPath);
}

bool Veltrion2CamMgr::isUpdateNeeded(const uint8_t* image, size_t length, bool force, bool& needed,
                                     unsigned& seconds, const std::string& devPath) {
    needed = false;
    seconds = 0;
    std::vector<uint8_t> chosen;
    if (isUnifiedPackage(image, length)) {
        if (!getFirmwareFromUnifiedImg(image, length, 0, 0, chosen, devPath)) return false;
        image = chosen.data();
        length = chosen.size();
    }

    CameraInfo info;
    if (!getVeltrion2Info(info, devPath)) {
        logger_->log(kLogError, "Veltrion2CamMgr::isUpdateNeeded: failed to obtain cam info for path %s\n", devPath.c_str());
        return false;
    }
    UpdatePackage package;
    if (!parseUpdatePackage(image, length, package)) {
        logger_->log(kLogError, "Veltrion2CamMgr::isUpdateNeeded: - failed to parse Update package\n");
        return false;
    }

    // An image the update would refuse is no update.
    if (!imageFitsCameraGroup(info, package, "isUpdateNeeded", "\n")) return false;
    const auto judged = judgeFlashAgainstImage(package, devPath);
    if (!judged) {
        logger_->log(kLogError, "Veltrion2CamMgr::isUpdateNeeded: failed to read the flash of path %s\n", devPath.c_str());
        return false;
    }

    const bool fpgaDiffers = package.fpga.version != info.fpgaVersion || !judged->fpgaSound;
    const bool fx3Differs = package.fx3Version != info.fx3Version || !judged->fx3Sound;
    const bool audioDiffers = package.audio.version != info.audioVersion || !judged->audioSound;
    const bool ispDiffers = package.isp.version != info.ispVersion || !judged->ispSound;
    const bool bootDiffers = !judged->bootComponentsSound();
    const bool jsonDiffers = !judged->jsonEqual;
    if (!force && info.versionsValid && info.versionsRead && !fpgaDiffers && !fx3Differs && !audioDiffers &&
        !ispDiffers && !bootDiffers && !jsonDiffers)
        return true;
    needed = true;
    if (force) {
        seconds = kSecondsWholeUpdate;
        return true;
    }
    if (!info.versionsValid || !info.versionsRead)
        seconds = kSecondsWholeUpdate;
    else if (fpgaDiffers)
        seconds = kSecondsFpga;
    else if (fx3Differs)
        seconds = kSecondsFx3;
    else if (audioDiffers)
        seconds = kSecondsAudio;
    else if (ispDiffers)
        seconds = kSecondsIsp;
    else if (bootDiffers)
        seconds = kSecondsBootComponents;
    else if (jsonDiffers)
        seconds = kSecondsJson;
    needed = seconds != 0;
    return true;
}

bool Veltrion2CamMgr::getListOfAvailableFirmwares(uint16_t vendorId, uint16_t productId, std::vector<std::string>& ids,
                                                  std::string& ownId, const std::string& packagePath) {
    ids.clear();
    std::vector<uint8_t> file;
    if (!openAndReadFile(packagePath, file)) return false;
    UnifiedPackage package;
    if (!isUnifiedPackage(file.data(), file.size()) || !parseUpdatePackage(file.data(), file.size(), package)) {
        logger_->log(kLogError, "Veltrion2CamMgr::getImageAvailableFirmware - failed to parse unified update package\n");
        return false;
    }
    const std::string group = getFwGroupFromVidPid(vendorId, productId);
    for (size_t i = 0; i < package.imageCount(); ++i)
        if (!group.empty() && getFwGroupFromVidPid(package.vendorIds[i], package.productIds[i]) == group)
            ids.push_back(vidPidKey(package.vendorIds[i], package.productIds[i]));
    if (ids.empty()) return false;
    ownId = vidPidKey(vendorId, productId);
    return true;
}

bool Veltrion2CamMgr::getImgVersion(uint16_t vendorId, uint16_t productId, ImageVersions& versions,
                                    const std::string& imagePath) {
    std::vector<uint8_t> file;
    if (!openAndReadFile(imagePath, file)) {
        logger_->log(kLogError, "getImgVersion: failed to read file %s\n", imagePath.c_str());
        return false;
    }
    std::vector<uint8_t> image;
    if (!getImageAvailableFirmware(file.data(), file.size(), vendorId, productId, image)) {
        logger_->log(kLogError, "getImgVersion: failed to select firmware from package\n");
        return false;
    }
    UpdatePackage package;
    if (!parseUpdatePackage(image.data(), image.size(), package)) {
        logger_->log(kLogError, "getImgVersion: invalid img file\n");
        return false;
    }
    versions = {package.fpga.version, package.fx3Version,        package.audio.version,
                package.isp.version,  package.bootloaderVersion, package.backupFx3Version};
    return true;
}

}  // namespace veltrion

// Judges what a camera's flash holds against an update image, cheaply: one
// checksum query per component where the camera answers it, otherwise the
// boot-chain walk of the FX3 boot images and the signed header of the "VM"
// components; the feature JSON record is compared byte for byte. The flash is
// read without entering SPI mode, so a check leaves the camera running.

#include <algorithm>
#include <vector>

#include "flash/JsonRecord.h"
#include "format/ComponentHeader.h"
#include "format/FlashMap.h"
#include "manager/DeviceSession.h"
#include "manager/Veltrion2CamMgr.h"

namespace veltrion {

namespace {

constexpr const char* kJudgeOperation = "judgeFlashAgainstImage";

struct BootImageRegion {
    int type;
    uint32_t address;
    uint32_t regionSize;
    const char* name;
    bool FlashJudgement::*sound;
};

constexpr BootImageRegion kBootImages[] = {
    {flash::kCompBackupFx3, flashmap::kBackupFx3Address, flashmap::kBackupFx3RegionSize, "backup fx3",
     &FlashJudgement::backupFx3Sound},
    {flash::kCompBootLoader, flashmap::kBootLoaderAddress, flashmap::kBootLoaderRegionSize, "bootloader",
     &FlashJudgement::bootLoaderSound},
    {flash::kCompFx3, flashmap::kFx3Address, flashmap::kFx3RegionSize, "fx3", &FlashJudgement::fx3Sound},
};

struct VmRegion {
    int type;
    const VmComponent UpdatePackage::*component;
    const char* name;
    bool FlashJudgement::*sound;
};

constexpr VmRegion kVmComponents[] = {
    {flash::kCompFpga, &UpdatePackage::fpga, "FPGA", &FlashJudgement::fpgaSound},
    {flash::kCompAudio, &UpdatePackage::audio, "audio", &FlashJudgement::audioSound},
    {flash::kCompIsp, &UpdatePackage::isp, "ISP", &FlashJudgement::ispSound},
};

}  // namespace

std::optional<bool> Veltrion2CamMgr::judgeByChecksumQuery(const std::string& devPath, int componentType,
                                                          bool& queryAnswers) {
    if (!queryAnswers) return std::nullopt;
    bool isMatch = false;
    uint32_t expected = 0, calculated = 0;
    if (getFirmwareCheckSum(devPath, componentType, isMatch, expected, calculated)) return isMatch;
    // Firmware without the query (or an answer that does not hold
    // together): the rest is judged by reading the flash.
    queryAnswers = false;
    return std::nullopt;
}

std::optional<FlashJudgement> Veltrion2CamMgr::judgeFlashAgainstImage(const UpdatePackage& package,
                                                                      const std::string& devPath) {
    FlashJudgement judged;
    bool queryAnswers = true;
    const auto openForReading = [&](DeviceSession& session) {
        if (session.isOpen()) return true;
        logger_->log(kLogError, "Veltrion2CamMgr::judgeFlashAgainstImage failed - unable to open dev %s\n",
                     devPath.c_str());
        return false;
    };

    for (const BootImageRegion& region : kBootImages) {
        std::optional<bool> sound = judgeByChecksumQuery(devPath, region.type, queryAnswers);
        if (!sound) {
            DeviceSession session(*device_, devPath);
            if (!openForReading(session)) return std::nullopt;
            sound = isBootImageValid(region.address, region.regionSize, kJudgeOperation);
            if (!sound) return std::nullopt;
        }
        judged.*region.sound = *sound;
        if (!*sound)
            logger_->log(kLogInfo, "Veltrion2CamMgr::judgeFlashAgainstImage - %s in flash is not sound\n",
                         region.name);
    }

    for (const VmRegion& region : kVmComponents) {
        const VmComponent& component = package.*region.component;
        std::optional<bool> sound = judgeByChecksumQuery(devPath, region.type, queryAnswers);
        if (!sound) {
            // A component is written signature last, so a signed header that
            // equals the image's belongs to a component written whole.
            const size_t headerLength = std::min(component.length(), component::kHeaderSize);
            std::vector<uint8_t> header(headerLength);
            DeviceSession session(*device_, devPath);
            if (!openForReading(session) ||
                !readFlashWithoutSpiMode(component.flashAddress, header.data(), static_cast<uint32_t>(headerLength),
                                         kJudgeOperation))
                return std::nullopt;
            sound = std::equal(header.begin(), header.end(), component.data.begin());
        }
        judged.*region.sound = *sound;
        if (!*sound)
            logger_->log(kLogInfo, "Veltrion2CamMgr::judgeFlashAgainstImage - %s in flash is not sound\n",
                         region.name);
    }

    const std::vector<uint8_t> expected = flash::jsonRecord(package.json);
    if (expected.size() > flash::kJsonSectorSize) {
        judged.jsonEqual = false;  // cannot be in flash; the JSON writer refuses it
    } else {
        std::vector<uint8_t> record(expected.size());
        DeviceSession session(*device_, devPath);
        if (!openForReading(session) ||
            !readFlashWithoutSpiMode(flashmap::kJsonAddress, record.data(), static_cast<uint32_t>(record.size()),
                                     kJudgeOperation))
            return std::nullopt;
        judged.jsonEqual = record == expected;
    }
    if (!judged.jsonEqual)
        logger_->log(kLogInfo, "Veltrion2CamMgr::judgeFlashAgainstImage - feature JSON in flash differs from the image's\n");
    return judged;
}

}  // namespace veltrion

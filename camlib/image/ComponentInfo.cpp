#include "image/ComponentInfo.h"

#include <jansson.h>

#include <array>
#include <cstdio>

#include "base/Logger.h"
#include "base/VersionNumber.h"
#include "format/ComponentHeader.h"
#include "format/FlashMap.h"
#include "format/Fx3BootImage.h"

namespace veltrion::images {

namespace {

// The regions whose place in flash is fixed; no "VM" component may touch them.
struct FixedRegion {
    const char* name;
    uint32_t start;
    uint32_t size;
};

constexpr uint32_t kConfigBlockRegionSize = flashmap::kSector64K;
constexpr uint32_t kLutRegionSize = 2 * flashmap::kSector64K;
constexpr uint32_t kJsonRegionSize = flashmap::kSector64K;
constexpr uint32_t kFpgaRegionSectors = flashmap::kFpgaRegionSize / flashmap::kSector64K;

constexpr std::array<FixedRegion, 6> kFixedRegions = {{
    {"bootloader", flashmap::kBootLoaderAddress, flashmap::kBootLoaderRegionSize},
    {"FX3", flashmap::kFx3Address, flashmap::kFx3RegionSize},
    {"configuration block", flashmap::kConfigBlockAddress, kConfigBlockRegionSize},
    {"LUT", flashmap::kLutAddress, kLutRegionSize},
    {"backup FX3", flashmap::kBackupFx3Address, flashmap::kBackupFx3RegionSize},
    {"JSON", flashmap::kJsonAddress, kJsonRegionSize},
}};

// Room for the longest placement problem text.
constexpr size_t kProblemTextSize = 160;

// The largest number each packed version field holds: bits 23..22, 21..16,
// 15..8 and 7..0.
constexpr std::array<unsigned long long, 4> kVersionFieldMax = {3, 0x3F, 0xFF, 0xFF};

}  // namespace

bool getVersionStrFromFilename(const std::string& fileName, std::string& version, Logger& logger) {
    if (fileName.size() >= component::kFileNameSize) {
        logger.log(kLogError, "Veltrion2CamMgr::getVersionStrFromFilename - filename >= 32 characters\n");
        return false;
    }
    const auto text = versionTextFromFileName(fileName);
    if (!text) {
        logger.log(kLogError, "Veltrion2CamMgr::getVersionStrFromFilename - invalid file name format %s\n",
                   fileName.c_str());
        return false;
    }
    version = *text;
    return true;
}

bool convertVersionText(const std::string& text, uint32_t& version, Logger& logger) {
    switch (parseVersionText(text, version)) {
        case VersionParse::Ok:
            if (versionFitsPackedFields(text)) return true;
            logger.log(kLogError, "Veltrion2CamMgr::getVersion - version %s does not fit the packed version fields\n",
                       text.c_str());
            return false;
        case VersionParse::BadFormat:
            logger.log(kLogError, "Veltrion2CamMgr::getVersion - invalid version format %s\n", text.c_str());
            return false;
        case VersionParse::Empty:
            break;
    }
    return false;
}

bool versionFitsPackedFields(const std::string& text) {
    char letter = 0;
    std::array<unsigned long long, 4> numbers{};
    // Read as the packed form is read, but wide enough to see a number that
    // would spill into the next field (a negative one reads as huge).
    if (std::sscanf(text.c_str(), "%c%llu.%llu.%llu.%llu", &letter, &numbers[0], &numbers[1], &numbers[2],
                    &numbers[3]) < 5)
        return false;
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (numbers[i] > kVersionFieldMax[i]) return false;
    }
    return true;
}

bool getHeaderInfoFromFlashFile(std::span<const uint8_t> bytes, ComponentHeaderInfo& info, Logger& logger) {
    // A span too short for the whole header holds no header at all.
    if (bytes.size() < component::kHeaderSize) {
        logger.log(kLogError, "Veltrion2CamMgr::getHeaderInfoFromFlashFile - invalid buffer pointer\n");
        return false;
    }
    const auto header = decodeComponentHeader(bytes);
    if (!header) {
        logger.log(kLogError, "Veltrion2CamMgr::getHeaderInfoFromFlashFile - invalid signature byte %c %c\n",
                   bytes[0], bytes[1]);
        return false;
    }
    info.length = header->length;
    info.reserved = header->reserved;
    info.flashAddress = header->flashAddress;
    info.checksum = header->checksum;
    info.tag = header->tag;

    std::string versionText;
    if (!getVersionStrFromFilename(header->fileName, versionText, logger)) {
        logger.log(kLogError, "Veltrion2CamMgr::getHeaderInfoFromFlashFile - no version in header\n");
        return false;
    }
    if (!convertVersionText(versionText, info.version, logger)) {
        logger.log(kLogError, "Veltrion2CamMgr::getHeaderInfoFromFlashFile - invalid version %s\n",
                   versionText.c_str());
        return false;
    }
    return true;
}

bool isValidFx3Data(const uint8_t* data, size_t length, Logger& logger) {
    if (!data) {
        logger.log(kLogError, "Veltrion2CamMgr::isValidFx3Data - invalid data\n");
        return false;
    }
    if (length <= fx3image::kHeaderSize) {
        logger.log(kLogError, "Veltrion2CamMgr::isValidFx3Data - invalid size\n");
        return false;
    }
    switch (validateFx3BootImage(std::span<const uint8_t>(data, length))) {
        case Fx3ImageCheck::Ok:
            return true;
        case Fx3ImageCheck::BadSignature:
            // In hex: the bytes found are often not printable.
            logger.log(kLogError, "Veltrion2CamMgr::isValidFx3Data - invalid image signature 0x%02x 0x%02x\n",
                       data[0], data[1]);
            return false;
        case Fx3ImageCheck::BadChecksum:
            logger.log(kLogError, "Veltrion2CamMgr::isValidFx3Data - Invalid Image signature.\n");
            return false;
        case Fx3ImageCheck::Unterminated:
        case Fx3ImageCheck::Empty:
        case Fx3ImageCheck::TooShort:
            break;
    }
    logger.log(kLogError, "Veltrion2CamMgr::isValidFx3Data - data doesn't ended with zero data length\n");
    return false;
}

std::optional<std::string> jsonSyntaxProblem(std::span<const uint8_t> text) {
    json_error_t error;
    json_t* root = json_loadb(reinterpret_cast<const char*>(text.data()), text.size(), 0, &error);
    if (root) {
        json_decref(root);
        return std::nullopt;
    }
    return "line " + std::to_string(error.line) + " column " + std::to_string(error.column) + ": " + error.text;
}

uint64_t vmRegionSize(VmKind kind, uint64_t componentLength) {
    if (kind == VmKind::Fpga) return uint64_t{kFpgaRegionSectors} * flashmap::kSector64K;
    return (componentLength / flashmap::kSector64K + 1) * flashmap::kSector64K;
}

ErasedSpan vmErasedSpan(VmKind kind, uint32_t flashAddress, uint64_t componentLength) {
    const uint64_t start = flashAddress / flashmap::kSector64K * uint64_t{flashmap::kSector64K};
    return {start, start + vmRegionSize(kind, componentLength)};
}

std::optional<std::string> vmPlacementProblem(VmKind kind, uint32_t flashAddress, uint64_t componentLength) {
    const uint64_t region = vmRegionSize(kind, componentLength);
    char text[kProblemTextSize];
    if (componentLength > region) {
        std::snprintf(text, sizeof text, "longer than its flash region of %llu bytes",
                      static_cast<unsigned long long>(region));
        return text;
    }
    const ErasedSpan erased = vmErasedSpan(kind, flashAddress, componentLength);
    const auto first = static_cast<unsigned long long>(erased.start);
    const auto last = static_cast<unsigned long long>(erased.end - 1);
    // The bytes past the erased sectors would be programmed over old data.
    if (flashAddress + componentLength > erased.end) {
        std::snprintf(text, sizeof text, "it runs past the sectors 0x%06llx-0x%06llx its write erases", first, last);
        return text;
    }
    if (erased.end > flashmap::kFlashSize) {
        std::snprintf(text, sizeof text, "region 0x%06llx-0x%06llx passes the end of the flash", first, last);
        return text;
    }
    for (const FixedRegion& fixed : kFixedRegions) {
        if (erased.start < uint64_t{fixed.start} + fixed.size && fixed.start < erased.end) {
            std::snprintf(text, sizeof text, "region 0x%06llx-0x%06llx overlaps the %s region 0x%06x-0x%06x", first,
                          last, fixed.name, fixed.start, fixed.start + fixed.size - 1);
            return text;
        }
    }
    return std::nullopt;
}

}  // namespace veltrion::images

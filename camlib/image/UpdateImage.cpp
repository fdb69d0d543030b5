#include "image/UpdateImage.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>

#include "base/ByteLayout.h"
#include "image/ComponentInfo.h"
#include "image/ImageFiles.h"
#include "base/Logger.h"
#include "base/VersionNumber.h"
#include "format/ComponentHeader.h"
#include "format/FlashMap.h"
#include "format/Fx3BootImage.h"

namespace veltrion::images {

namespace {

// The JSON record in flash is "FD", a 4-byte length and the text, in one sector.
constexpr size_t kJsonRecordHeaderSize = 6;
constexpr uint64_t kJsonMaxLength = flashmap::kSector64K - kJsonRecordHeaderSize;

bool copyBytes(std::span<const uint8_t> source, std::vector<uint8_t>& target) {
    try {
        target.assign(source.begin(), source.end());
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// The checks both formats begin with, in their order: a buffer, the fixed
// header's size, the magic and the header version.
bool checkLeadingFields(std::span<const uint8_t> file, size_t fixedHeaderSize, std::string_view magic,
                        size_t versionOffset, uint16_t expectedVersion, Logger& logger) {
    if (file.data() == nullptr || file.empty()) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage - invalid package - buf %p, size %u\n",
                   static_cast<const void*>(file.data()), static_cast<unsigned>(file.size()));
        return false;
    }
    if (file.size() < fixedHeaderSize) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage - invalid package size. header size < %d\n",
                   static_cast<int>(fixedHeaderSize));
        return false;
    }
    if (!std::equal(magic.begin(), magic.end(), file.begin())) {
        const std::string expected(magic);
        logger.log(kLogError,
                   "Veltrion2CamMgr::parseUpdatePackage - invalid package magic \"%c%c%c%c\" expecting \"%s\"\n",
                   file[0], file[1], file[2], file[3], expected.c_str());
        return false;
    }
    const uint16_t headerVersion = *ByteReader(file).le16(versionOffset);
    if (headerVersion != expectedVersion) {
        logger.log(kLogError,
                   "Veltrion2CamMgr::parseUpdatePackage - unsupported image header version 0x%02x, expected version "
                   "0x%02x\n",
                   headerVersion, expectedVersion);
        return false;
    }
    return true;
}

// The header length field must describe the header exactly and the header
// must lie inside the file; otherwise the body length would wrap.
bool checkHeaderLength(uint64_t expected, uint32_t found, size_t fileSize, Logger& logger) {
    if (found != expected) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage - invalid header size - expect %llu, actual %u\n",
                   static_cast<unsigned long long>(expected), found);
        return false;
    }
    if (found > fileSize) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage - invalid package size. header size < %u\n",
                   found);
        return false;
    }
    return true;
}

bool checkBodyLength(uint64_t actual, uint64_t described, Logger& logger) {
    if (actual == described) return true;
    logger.log(kLogError,
               "Veltrion2CamMgr::parseUpdatePackage - invalid image size - expect uncompressed body size %lld, actual "
               "uncompressed size %lld\n",
               static_cast<long long>(actual), static_cast<long long>(described));
    return false;
}

// ---- single image ----

struct BootImageLimit {
    singleimage::Component component;
    const char* name;
    uint32_t regionSize;
};

// The FX3 boot images are written into fixed regions; a longer one would run
// into the region after it (the configuration block, for the FX3 firmware).
constexpr std::array<BootImageLimit, 3> kBootImageLimits = {{
    {singleimage::kFx3, "fx3", flashmap::kFx3RegionSize},
    {singleimage::kBootloader, "bootloader", flashmap::kBootLoaderRegionSize},
    {singleimage::kBackupFx3, "backup fx3", flashmap::kBackupFx3RegionSize},
}};

struct VmSlot {
    singleimage::Component component;
    const char* name;
    VmKind kind;
    VmComponent UpdatePackage::*member;
};

constexpr std::array<VmSlot, 3> kVmSlots = {{
    {singleimage::kFpga, "fpga", VmKind::Fpga, &UpdatePackage::fpga},
    {singleimage::kAudio, "audio", VmKind::Audio, &UpdatePackage::audio},
    {singleimage::kIsp, "isp", VmKind::Isp, &UpdatePackage::isp},
}};

// Where each component lies in the body, once the body length is known to
// match the lengths in the header.
class SingleImageBody {
public:
    SingleImageBody(std::span<const uint8_t> body, const std::array<uint32_t, singleimage::kComponentCount>& lengths)
        : body_(body), lengths_(lengths) {
        size_t offset = 0;
        for (size_t i = 0; i < singleimage::kComponentCount; ++i) {
            offsets_[i] = offset;
            offset += lengths_[i];
        }
        tablesOffset_ = offset;
    }

    std::span<const uint8_t> component(size_t which) const { return body_.subspan(offsets_[which], lengths_[which]); }
    std::span<const uint8_t> lookupTables(size_t count) const {
        return body_.subspan(tablesOffset_, count * singleimage::kLutBlockSize);
    }
    std::span<const uint8_t> alignmentBlocks(size_t count) const {
        return body_.subspan(tablesOffset_ + count * singleimage::kLutBlockSize,
                             count * singleimage::kAlignmentBlockSize);
    }

private:
    std::span<const uint8_t> body_;
    std::array<uint32_t, singleimage::kComponentCount> lengths_;
    std::array<size_t, singleimage::kComponentCount> offsets_{};
    size_t tablesOffset_ = 0;
};

bool startsWithFx3Signature(std::span<const uint8_t> component) {
    return component.size() >= 2 && component[0] == fx3image::kSignature0 && component[1] == fx3image::kSignature1;
}

// Checks header, checksum and placement of one "VM" component and copies it.
bool takeVmComponent(const VmSlot& slot, std::span<const uint8_t> bytes, UpdatePackage& package, Logger& logger) {
    ComponentHeaderInfo header;
    if (bytes.size() < component::kHeaderSize || !getHeaderInfoFromFlashFile(bytes, header, logger)) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage -failed to get header for %s file\n", slot.name);
        return false;
    }
    const auto bodyBytes = bytes.subspan(component::kHeaderSize);
    const uint16_t computed = fletcher16(bodyBytes.data(), bodyBytes.size());
    if (header.length != bytes.size() || computed != header.checksum) {
        logger.log(kLogError,
                   "Veltrion2CamMgr::parseUpdatePackage - invalid file len %d (bufsize %d) or checksum %d (checksum in "
                   "image %d) for %s file\n",
                   static_cast<int>(header.length), static_cast<int>(bytes.size()), computed, header.checksum,
                   slot.name);
        return false;
    }
    if (const auto problem = vmPlacementProblem(slot.kind, header.flashAddress, bytes.size())) {
        logger.log(kLogError,
                   "Veltrion2CamMgr::parseUpdatePackage - %s component at flash address 0x%06x cannot be written: "
                   "%s\n",
                   slot.name, header.flashAddress, problem->c_str());
        return false;
    }
    VmComponent& target = package.*slot.member;
    if (!copyBytes(bytes, target.data)) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage -no memory create %s buffer\n", slot.name);
        return false;
    }
    target.version = header.version;
    target.flashAddress = header.flashAddress;
    return true;
}

// Two components whose erased sectors overlap would wipe each other.
bool checkVmComponentsApart(const UpdatePackage& package, Logger& logger) {
    for (size_t a = 0; a < kVmSlots.size(); ++a) {
        for (size_t b = a + 1; b < kVmSlots.size(); ++b) {
            const VmComponent& first = package.*kVmSlots[a].member;
            const VmComponent& second = package.*kVmSlots[b].member;
            const ErasedSpan firstSpan = vmErasedSpan(kVmSlots[a].kind, first.flashAddress, first.length());
            const ErasedSpan secondSpan = vmErasedSpan(kVmSlots[b].kind, second.flashAddress, second.length());
            if (firstSpan.start < secondSpan.end && secondSpan.start < firstSpan.end) {
                logger.log(kLogError,
                           "Veltrion2CamMgr::parseUpdatePackage - %s region 0x%06llx-0x%06llx overlaps %s region "
                           "0x%06llx-0x%06llx\n",
                           kVmSlots[a].name, static_cast<unsigned long long>(firstSpan.start),
                           static_cast<unsigned long long>(firstSpan.end - 1), kVmSlots[b].name,
                           static_cast<unsigned long long>(secondSpan.start),
                           static_cast<unsigned long long>(secondSpan.end - 1));
                return false;
            }
        }
    }
    return true;
}

// A boot image is written as it is and booted by the controller, so its
// section chain and checksum must hold, and its last four bytes must be the
// checksum that the camera's checksum query compares.
bool checkBootImages(const SingleImageBody& parts, Logger& logger) {
    for (const BootImageLimit& limit : kBootImageLimits) {
        const auto image = parts.component(limit.component);
        const Fx3ImageLayout layout = inspectFx3BootImage(image);
        if (layout.check != Fx3ImageCheck::Ok) {
            logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage - invalid %s boot image: %s\n", limit.name,
                       fx3ImageCheckName(layout.check));
            return false;
        }
        if (layout.length != image.size()) {
            logger.log(kLogError,
                       "Veltrion2CamMgr::parseUpdatePackage - %s boot image carries %zu bytes after its checksum\n",
                       limit.name, image.size() - layout.length);
            return false;
        }
    }
    return true;
}

bool parseSingleImage(std::span<const uint8_t> file, UpdatePackage& package, Logger& logger) {
    using namespace singleimage;
    if (!checkLeadingFields(file, kFixedHeaderSize, kMagic, kHeaderVersionOffset, kHeaderVersion, logger))
        return false;
    const ByteReader reader(file);
    const uint32_t lutCount = *reader.le32(kLutCountOffset);
    const uint32_t headerLength = *reader.le32(kHeaderLengthOffset);
    if (!checkHeaderLength(headerSize(lutCount), headerLength, file.size(), logger)) return false;
    if (lutCount == 0)
        logger.log(kLogDetail, "Veltrion2CamMgr::parseUpdatePackage: no lookup tables in img file\n");

    const auto body = file.subspan(headerLength);
    const auto digest = getMD5Hash(body, logger);
    if (!digest) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage - failed to compute MD5 hash of the body\n");
        return false;
    }
    const auto stored = *reader.bytes(kMd5Offset, kMd5Size);
    if (!std::equal(digest->begin(), digest->end(), stored.begin())) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage - mismatched md5 checksum\n");
        return false;
    }

    // Components are copied straight out of the file buffer: with compression
    // type 0 the body needs no work buffer of its own.
    if (*reader.le16(kCompressionOffset) != kCompressionNone) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage -unsupported compress type\n");
        return false;
    }
    std::array<uint32_t, kComponentCount> lengths{};
    uint64_t describedLength = uint64_t{lutCount} * kPerCameraSize;
    for (size_t i = 0; i < kComponentCount; ++i) {
        lengths[i] = *reader.le32(lengthOffset(i));
        describedLength += lengths[i];
    }
    if (!checkBodyLength(body.size(), describedLength, logger)) return false;
    const SingleImageBody parts(body, lengths);

    if (!startsWithFx3Signature(parts.component(kFx3)) || !startsWithFx3Signature(parts.component(kBackupFx3))) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage - invalid fx3 or backup fx3 signature\n");
        return false;
    }
    for (const BootImageLimit& limit : kBootImageLimits) {
        if (lengths[limit.component] > limit.regionSize) {
            logger.log(kLogError,
                       "Veltrion2CamMgr::parseUpdatePackage - %s component of %u bytes does not fit its flash region "
                       "of %u bytes\n",
                       limit.name, lengths[limit.component], limit.regionSize);
            return false;
        }
    }
    if (!checkBootImages(parts, logger)) return false;
    if (!copyBytes(parts.component(kFx3), package.fx3)) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage -no memory create fx3 buffer\n");
        return false;
    }
    for (const VmSlot& slot : kVmSlots) {
        if (!takeVmComponent(slot, parts.component(slot.component), package, logger)) return false;
    }
    if (!checkVmComponentsApart(package, logger)) return false;

    if (!copyBytes(parts.component(kBootloader), package.bootloader)) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage -no memory create bootloader buffer\n");
        return false;
    }
    if (!copyBytes(parts.component(kBackupFx3), package.backupFx3)) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage -no memory create backup fx3 buffer\n");
        return false;
    }
    // The JSON goes into one flash sector behind a 6-byte record header.
    if (lengths[kJson] > kJsonMaxLength) {
        logger.log(kLogError,
                   "Veltrion2CamMgr::parseUpdatePackage - json component of %u bytes does not fit its flash region, "
                   "max %u\n",
                   lengths[kJson], static_cast<unsigned>(kJsonMaxLength));
        return false;
    }
    // The update programs the feature defaults this JSON describes.
    if (const auto problem = jsonSyntaxProblem(parts.component(kJson))) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage - json component is not valid JSON: %s\n",
                   problem->c_str());
        return false;
    }
    if (!copyBytes(parts.component(kJson), package.json)) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage -no memory create backup json buffer\n");
        return false;
    }
    if (lengths[kAuxBlob] != 0 && !copyBytes(parts.component(kAuxBlob), package.auxBlob)) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage -no memory create auxiliary blob buffer\n");
        return false;
    }

    if (lutCount > 0) {
        if (!copyBytes(parts.lookupTables(lutCount), package.lutData)) {
            logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage -no memory create LUT buffer\n");
            return false;
        }
        const ByteReader alignment(parts.alignmentBlocks(lutCount));
        try {
            package.alignmentData.resize(lutCount);
            package.serialNumbers.reserve(lutCount);
        } catch (const std::bad_alloc&) {
            logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage -no memory create alignment data buffer\n");
            return false;
        }
        for (size_t i = 0; i < lutCount; ++i) {
            for (size_t v = 0; v < kAlignmentValueCount; ++v)
                package.alignmentData[i][v] = *alignment.le16(i * kAlignmentBlockSize + 2 * v);
            const auto serial = *reader.bytes(kFixedHeaderSize + i * kSerialSize, kSerialSize);
            package.serialNumbers.emplace_back(serial.begin(), serial.end());
        }
    }
    package.fx3Version = *reader.le32(kFx3VersionOffset);
    package.backupFx3Version = *reader.le32(kBackupFx3VersionOffset);
    package.bootloaderVersion = *reader.le32(kBootloaderVersionOffset);
    return true;
}

// ---- unified package ----

bool parseUnified(std::span<const uint8_t> file, UnifiedPackage& package, Logger& logger) {
    using namespace unifiedimage;
    if (!checkLeadingFields(file, kFixedHeaderSize, kMagic, kHeaderVersionOffset, kHeaderVersion, logger))
        return false;
    const ByteReader reader(file);
    const uint32_t imageCount = *reader.le32(kImageCountOffset);
    const uint32_t headerLength = *reader.le32(kHeaderLengthOffset);
    if (!checkHeaderLength(headerSize(imageCount), headerLength, file.size(), logger)) return false;
    if (imageCount == 0)
        logger.log(kLogDetail, "Veltrion2CamMgr::parseUpdatePackage:invalid number of camera img files\n");

    UnifiedPackage parsed;
    uint64_t imagesLength = 0;
    try {
        parsed.vendorIds.reserve(imageCount);
        parsed.productIds.reserve(imageCount);
        parsed.offsets.reserve(imageCount);
        parsed.lengths.reserve(imageCount);
    } catch (const std::bad_alloc&) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage -no memory create uncompress buffer\n");
        return false;
    }
    for (size_t i = 0; i < imageCount; ++i) {
        const size_t entry = kFixedHeaderSize + i * kEntrySize;
        parsed.vendorIds.push_back(*reader.le16(entry + kEntryVendorIdOffset));
        parsed.productIds.push_back(*reader.le16(entry + kEntryProductIdOffset));
        parsed.offsets.push_back(*reader.le32(entry + kEntryImageOffsetOffset));
        parsed.lengths.push_back(*reader.le32(entry + kEntryImageLengthOffset));
        imagesLength += parsed.lengths.back();
    }
    parsed.jsonOffset = *reader.le32(kJsonOffsetOffset);
    parsed.jsonLength = *reader.le32(kJsonLengthOffset);

    if (*reader.le16(kCompressionOffset) != kCompressionNone) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage no supported type\n");
        return false;
    }
    const auto body = file.subspan(headerLength);
    if (!checkBodyLength(body.size(), imagesLength + parsed.jsonLength, logger)) return false;

    // Entries are used as they are when an image is chosen, so each one must
    // lie inside the body.
    for (size_t i = 0; i < imageCount; ++i) {
        if (uint64_t{parsed.offsets[i]} + parsed.lengths[i] > body.size()) {
            logger.log(kLogError,
                       "Veltrion2CamMgr::parseUpdatePackage - image entry %zu (offset %u, length %u) reaches past "
                       "the body of %zu bytes\n",
                       i, parsed.offsets[i], parsed.lengths[i], body.size());
            return false;
        }
    }
    if (uint64_t{parsed.jsonOffset} + parsed.jsonLength > body.size()) {
        logger.log(kLogError,
                   "Veltrion2CamMgr::parseUpdatePackage - json file (offset %u, length %u) reaches past the body of "
                   "%zu bytes\n",
                   parsed.jsonOffset, parsed.jsonLength, body.size());
        return false;
    }
    if (!copyBytes(body, parsed.body)) {
        logger.log(kLogError, "Veltrion2CamMgr::parseUpdatePackage -no memory create LUT buffer\n");
        return false;
    }
    package = std::move(parsed);
    return true;
}

}  // namespace

bool parseUpdatePackage(std::span<const uint8_t> file, UpdatePackage& package, Logger& logger) {
    package.release();
    UpdatePackage parsed;
    if (!parseSingleImage(file, parsed, logger)) return false;
    package = std::move(parsed);
    return true;
}

bool parseUpdatePackage(std::span<const uint8_t> file, UnifiedPackage& package, Logger& logger) {
    package.release();
    return parseUnified(file, package, logger);
}

}  // namespace veltrion::images

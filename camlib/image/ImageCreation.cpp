#include "image/ImageCreation.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <new>
#include <optional>
#include <span>

#include "base/ByteLayout.h"
#include "image/ComponentInfo.h"
#include "image/ImageFiles.h"
#include "base/Logger.h"
#include "image/LutFiles.h"
#include "image/PendingOutputFile.h"
#include "image/UpdateImage.h"
#include "image/UpdateImageFormat.h"
#include "base/VersionNumber.h"
#include "device/CameraIdentity.h"

namespace veltrion::images {

namespace {

// Positions in the console's argument list of a single image.
enum SingleImageArgument : size_t {
    kArgFpga = 0,
    kArgFx3,
    kArgAudio,
    kArgIsp,
    kArgBootloader,
    kArgBackupFx3,
    kArgJson,
    kArgAuxBlob,
    kArgFirstTriple,
};
constexpr size_t kArgMinimum = kArgFirstTriple + 1;  // the eight files and the output file
constexpr size_t kArgTripleSize = 3;

// A file length fits a 32-bit length field and is not zero; -1 (cannot be
// examined) and 0 are both invalid.
std::optional<uint32_t> validFileSize(const std::string& path) {
    const int64_t size = fileSizeByPath(path);
    if (size < 1 || size > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    return static_cast<uint32_t>(size);
}

// What a failed size look-up prints: the size as an unsigned 32-bit number.
unsigned printedSize(const std::string& path) { return static_cast<unsigned>(fileSizeByPath(path)); }

// The file name part of a path: versions are read from the name alone.
std::string baseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The packed version in a file name; the two messages name the component.
bool versionFromFileName(const std::string& path, const char* what, uint32_t& version, Logger& logger) {
    std::string text;
    if (!getVersionStrFromFilename(baseName(path), text, logger)) {
        logger.log(kLogError, "createSingleImage: cannot get %s version from %s\n", what, path.c_str());
        return false;
    }
    if (!convertVersionText(text, version, logger)) {
        logger.log(kLogError, "createSingleImage: cannot convert %s version from %s\n", what, path.c_str());
        return false;
    }
    return true;
}

bool allocate(std::vector<uint8_t>& buffer, size_t size) {
    try {
        buffer.assign(size, 0);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Room for a header, reserved up front so that filling it cannot fail.
bool reserve(std::vector<uint8_t>& buffer, size_t size) {
    try {
        buffer.reserve(size);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

struct ComponentFile {
    const std::string* path;
    const char* name;  // as the size message names it
};

// The input that the output path names, or nothing: the finished output
// takes the path's name, so an input given again as the output would be lost.
const std::string* inputNamedByOutput(const std::vector<const std::string*>& inputs, const std::string& output) {
    for (const std::string* input : inputs) {
        if (isSameFile(*input, output)) return input;
    }
    return nullptr;
}

// The finished image must pass the checks the update makes before it writes
// a camera; an image that would be refused there is not written here.
bool passesUpdateChecks(std::span<const uint8_t> header, std::span<const uint8_t> body, Logger& logger) {
    std::vector<uint8_t> image;
    try {
        image.reserve(header.size() + body.size());
    } catch (const std::bad_alloc&) {
        logger.log(kLogError, "Veltrion2CamMgr::createSingleImage - no memory to check the image\n");
        return false;
    }
    image.insert(image.end(), header.begin(), header.end());
    image.insert(image.end(), body.begin(), body.end());
    UpdatePackage package;
    if (parseUpdatePackage(image, package, logger)) return true;
    logger.log(kLogError, "Veltrion2CamMgr::createSingleImage - the update would refuse this image, not written\n");
    return false;
}

}  // namespace

bool createSingleImage(const std::vector<std::string>& arguments, std::span<uint8_t> lutBuffer, Logger& logger) {
    if (arguments.size() < kArgMinimum || (arguments.size() - kArgMinimum) % kArgTripleSize != 0) return false;

    SingleImageSources sources;
    if (!versionFromFileName(arguments[kArgFx3], "fx3", sources.fx3Version, logger)) return false;
    if (!versionFromFileName(arguments[kArgBootloader], "bootloader", sources.bootloaderVersion, logger)) return false;
    if (!versionFromFileName(arguments[kArgBackupFx3], "backup fx3", sources.backupFx3Version, logger)) return false;

    sources.fpgaFile = arguments[kArgFpga];
    sources.fx3File = arguments[kArgFx3];
    sources.audioFile = arguments[kArgAudio];
    sources.ispFile = arguments[kArgIsp];
    sources.bootloaderFile = arguments[kArgBootloader];
    sources.backupFx3File = arguments[kArgBackupFx3];
    sources.jsonFile = arguments[kArgJson];
    sources.auxBlobFile = arguments[kArgAuxBlob];
    sources.auxBlobPresent = fileSizeByPath(sources.auxBlobFile) >= 1;
    for (size_t i = kArgFirstTriple; i + 1 < arguments.size(); i += kArgTripleSize) {
        sources.lutDirectories.push_back(arguments[i]);
        sources.alignmentFiles.push_back(arguments[i + 1]);
        sources.serialNumbers.push_back(arguments[i + 2]);
    }
    sources.outputFile = arguments.back();
    return createSingleImage(sources, lutBuffer, logger);
}

bool createSingleImage(const SingleImageSources& sources, std::span<uint8_t> lutBuffer, Logger& logger) {
    using namespace singleimage;
    std::vector<const std::string*> inputs = {&sources.fpgaFile,       &sources.fx3File,       &sources.audioFile,
                                              &sources.ispFile,        &sources.bootloaderFile, &sources.backupFx3File,
                                              &sources.jsonFile,       &sources.auxBlobFile};
    for (const std::string& path : sources.lutDirectories) inputs.push_back(&path);
    for (const std::string& path : sources.alignmentFiles) inputs.push_back(&path);
    if (const std::string* input = inputNamedByOutput(inputs, sources.outputFile)) {
        logger.log(kLogError, "Veltrion2CamMgr::createSingleImage - output file %s is the input file %s\n",
                   sources.outputFile.c_str(), input->c_str());
        return false;
    }
    PendingOutputFile output(sources.outputFile);
    if (!output.created()) {
        logger.log(kLogError, "Veltrion2CamMgr::createSingleImage - unable to create file %s\n",
                   sources.outputFile.c_str());
        return false;
    }
    const size_t cameras = sources.serialNumbers.size();
    if (sources.lutDirectories.size() != cameras || sources.alignmentFiles.size() != cameras) {
        logger.log(kLogError,
                   "Veltrion2CamMgr::createSingleImage - # of LUTs OR # of alignments are different than # of camera "
                   "serial numbers\n");
        return false;
    }

    // Body order; the auxiliary blob is handled after these.
    const std::array<ComponentFile, kAuxBlob> files = {{
        {&sources.fpgaFile, "fpga"},
        {&sources.fx3File, "fx3"},
        {&sources.audioFile, "audio"},
        {&sources.ispFile, "ISP"},
        {&sources.bootloaderFile, "bootloader"},
        {&sources.backupFx3File, "back up fx3"},
        {&sources.jsonFile, "json"},
    }};
    std::array<uint32_t, kComponentCount> lengths{};
    for (size_t i = 0; i < files.size(); ++i) {
        const auto size = validFileSize(*files[i].path);
        if (!size) {
            logger.log(kLogError, "Veltrion2CamMgr::createSingleImage - invalid %s file size %u\n", files[i].name,
                       printedSize(*files[i].path));
            return false;
        }
        lengths[i] = *size;
    }
    if (sources.auxBlobPresent) {
        const auto size = validFileSize(sources.auxBlobFile);
        if (!size) {
            logger.log(kLogError, "Veltrion2CamMgr::createSingleImage - invalid auxiliary blob file size %u\n",
                       printedSize(sources.auxBlobFile));
            return false;
        }
        lengths[kAuxBlob] = *size;
    } else {
        logger.log(kLogInfo, "Veltrion2CamMgr::createSingleImage - no auxiliary blob, its length is 0\n");
    }

    std::vector<uint8_t> header;
    if (!reserve(header, static_cast<size_t>(headerSize(cameras)))) {
        logger.log(kLogError, "Veltrion2CamMgr::createSingleImage - no memory for header\n");
        return false;
    }
    ByteWriter writer(header);
    writer.bytes(std::span(reinterpret_cast<const uint8_t*>(kMagic.data()), kMagic.size()));
    writer.le16(kHeaderVersion);
    writer.le16(kCompressionNone);
    writer.le32(sources.fx3Version);
    writer.le32(sources.backupFx3Version);
    writer.le32(sources.bootloaderVersion);
    writer.le32(static_cast<uint32_t>(headerSize(cameras)));
    for (uint32_t length : lengths) writer.le32(length);
    writer.fill(0, kMd5Size);  // filled in once the body is complete
    writer.le32(static_cast<uint32_t>(cameras));
    for (const std::string& serial : sources.serialNumbers) {
        if (serial.size() != kSerialSize) {
            logger.log(kLogError,
                       "Veltrion2CamMgr::createSingleImage - serial number invalid size %d given. Has to equal to %d\n",
                       static_cast<int>(serial.size()), static_cast<int>(kSerialSize));
            return false;
        }
        writer.text(serial, kSerialSize);
    }

    uint64_t bodyLength = uint64_t{cameras} * kPerCameraSize;
    for (uint32_t length : lengths) bodyLength += length;
    std::vector<uint8_t> body;
    if (!allocate(body, static_cast<size_t>(bodyLength))) {
        logger.log(kLogError, "Veltrion2CamMgr::createSingleImage - no memory for body\n");
        return false;
    }
    size_t offset = 0;
    for (size_t i = 0; i < kComponentCount; ++i) {
        if (lengths[i] == 0) continue;  // only the auxiliary blob may be absent
        const std::string& path = i < files.size() ? *files[i].path : sources.auxBlobFile;
        if (!readFileExactly(path, std::span(body).subspan(offset, lengths[i]))) {
            logger.log(kLogError, "Veltrion2CamMgr::createSingleImage - open file %s failed.\n", path.c_str());
            return false;
        }
        offset += lengths[i];
    }

    const size_t alignmentStart = offset + cameras * kLutBlockSize;
    for (size_t i = 0; i < cameras; ++i) {
        if (!loadAllLUTFilesInDirectory(sources.lutDirectories[i], lutBuffer, logger)) {
            logger.log(kLogError, "Veltrion2CamMgr::createSingleImage - load LUT dir %s failed.\n",
                       sources.lutDirectories[i].c_str());
            return false;
        }
        const auto table = lutBuffer.first(kLutBlockSize);
        std::copy(table.begin(), table.end(), body.begin() + offset + i * kLutBlockSize);
    }
    for (size_t i = 0; i < cameras; ++i) {
        if (!loadAlignmentData(sources.alignmentFiles[i], lutBuffer, logger)) {
            logger.log(kLogError, "Veltrion2CamMgr::createSingleImage - load alignment data from %s failed.\n",
                       sources.alignmentFiles[i].c_str());
            return false;
        }
        const auto values = lutBuffer.subspan(lut::kAlignmentOffset, kAlignmentBlockSize);
        std::copy(values.begin(), values.end(), body.begin() + alignmentStart + i * kAlignmentBlockSize);
    }

    const auto digest = getMD5Hash(body, logger);
    if (!digest) {
        logger.log(kLogError, "Veltrion2CamMgr::createSingleImage failed to calc hash\n");
        return false;
    }
    std::copy(digest->begin(), digest->end(), header.begin() + kMd5Offset);
    if (!passesUpdateChecks(header, body, logger)) return false;

    if (!openAndDumpFile(output.path(), header, false, logger)) {
        logger.log(kLogError, "Veltrion2CamMgr::createSingleImage failed to dump header\n");
        return false;
    }
    if (!openAndDumpFile(output.path(), body, true, logger) || !output.commit()) {
        logger.log(kLogError, "Veltrion2CamMgr::createSingleImage failed to dump body\n");
        return false;
    }
    logger.log(kLogInfo, "Veltrion2CamMgr::createSingleImage - successfully created image file %s\n",
               sources.outputFile.c_str());
    return true;
}

bool createUnifiedImage(const std::vector<std::string>& arguments, Logger& logger) {
    using namespace unifiedimage;
    constexpr size_t kTrailingFiles = 2;  // the JSON file and the output file
    if (arguments.size() < kTrailingFiles) {
        logger.log(kLogError, "Veltrion2CamMgr::createUnifiedImage: input list size %d\n",
                   static_cast<int>(arguments.size()));
        return false;
    }
    const std::vector<std::string> imageFiles(arguments.begin(), arguments.end() - kTrailingFiles);
    const std::string& jsonFile = arguments[arguments.size() - 2];
    const std::string& outputFile = arguments.back();
    for (auto input = arguments.begin(); input + 1 != arguments.end(); ++input) {
        if (isSameFile(*input, outputFile)) {
            logger.log(kLogError, "Veltrion2CamMgr::createUnifiedImage - output file %s is the input file %s\n",
                       outputFile.c_str(), input->c_str());
            return false;
        }
    }

    const auto jsonLength = validFileSize(jsonFile);
    if (!jsonLength) {
        logger.log(kLogError, "Veltrion2CamMgr::createUnifiedImage - invalid img file size %u\n",
                   printedSize(jsonFile));
        return false;
    }
    // Cameras get their feature defaults from this file; a package whose
    // output name was forgotten also ends here, with an image as its JSON.
    std::vector<uint8_t> jsonText;
    if (!openAndReadFile(jsonFile, jsonText, logger)) return false;
    if (const auto problem = jsonSyntaxProblem(jsonText)) {
        logger.log(kLogError, "Veltrion2CamMgr::createUnifiedImage - json file %s is not valid JSON: %s\n",
                   jsonFile.c_str(), problem->c_str());
        return false;
    }

    std::vector<std::string> fx3Versions;
    for (const std::string& path : imageFiles) {
        std::vector<uint8_t> bytes;
        if (!openAndReadFile(path, bytes, logger)) {
            logger.log(kLogError, "Veltrion2CamMgr::createUnifiedImage: failed to read file %s\n", path.c_str());
            return false;
        }
        UpdatePackage package;
        if (!parseUpdatePackage(bytes, package, logger)) {
            logger.log(kLogError, "Veltrion2CamMgr::createUnifiedImage - failed to parse Update package\n");
            return false;
        }
        fx3Versions.push_back(formatVersion(package.fx3Version));
    }

    PendingOutputFile output(outputFile);
    if (!output.created()) {
        logger.log(kLogError, "Veltrion2CamMgr::createUnifiedImage - unable to create file %s\n", outputFile.c_str());
        return false;
    }
    std::vector<uint8_t> header;
    if (!reserve(header, static_cast<size_t>(headerSize(imageFiles.size())))) {
        logger.log(kLogError, "Veltrion2CamMgr::createUnifiedImage - no memory for header\n");
        return false;
    }
    ByteWriter writer(header);
    writer.bytes(std::span(reinterpret_cast<const uint8_t*>(kMagic.data()), kMagic.size()));
    writer.le16(kHeaderVersion);
    writer.le16(kCompressionNone);
    writer.le32(static_cast<uint32_t>(headerSize(imageFiles.size())));
    const size_t jsonOffsetField = writer.size();
    writer.le32(0);  // the JSON offset, known once every image is placed
    writer.le32(*jsonLength);
    writer.le32(static_cast<uint32_t>(imageFiles.size()));

    std::vector<uint32_t> imageLengths;
    uint64_t offset = 0;
    for (size_t i = 0; i < imageFiles.size(); ++i) {
        const auto size = validFileSize(imageFiles[i]);
        if (!size) {
            logger.log(kLogError, "Veltrion2CamMgr::createUnifiedImage - invalid img file size %u\n",
                       printedSize(imageFiles[i]));
            return false;
        }
        uint16_t vendorId = 0;
        uint16_t productId = 0;
        if (!getVidPidFromFx3VerStr(vendorId, productId, fx3Versions[i], logger)) return false;
        // Offsets are 32-bit fields: the images and the JSON behind them must fit.
        if (offset + *size + *jsonLength > std::numeric_limits<uint32_t>::max()) {
            logger.log(kLogError, "Veltrion2CamMgr::createUnifiedImage - package would exceed 4 GiB at %s\n",
                       imageFiles[i].c_str());
            return false;
        }
        writer.le16(vendorId);
        writer.le16(productId);
        writer.le32(static_cast<uint32_t>(offset));
        writer.le32(*size);
        imageLengths.push_back(*size);
        offset += *size;
    }
    writer.patchLe32(jsonOffsetField, static_cast<uint32_t>(offset));

    std::vector<uint8_t> body;
    if (!allocate(body, static_cast<size_t>(offset + *jsonLength))) {
        logger.log(kLogError, "Veltrion2CamMgr::createUnifiedImage - no memory for body\n");
        return false;
    }
    size_t at = 0;
    for (size_t i = 0; i <= imageFiles.size(); ++i) {
        const bool isJson = i == imageFiles.size();
        const std::string& path = isJson ? jsonFile : imageFiles[i];
        const size_t length = isJson ? *jsonLength : imageLengths[i];
        if (!readFileExactly(path, std::span(body).subspan(at, length))) {
            logger.log(kLogError, "Veltrion2CamMgr::createUnifiedImage - open file %s failed.\n", path.c_str());
            return false;
        }
        at += length;
    }

    if (!openAndDumpFile(output.path(), header, false, logger)) {
        logger.log(kLogError, "Veltrion2CamMgr::createUnifiedImage failed to dump header\n");
        return false;
    }
    if (!openAndDumpFile(output.path(), body, true, logger) || !output.commit()) {
        logger.log(kLogError, "Veltrion2CamMgr::createUnifiedImage failed to dump body\n");
        return false;
    }
    logger.log(kLogInfo, "Veltrion2CamMgr::createUnifiedImage - successfully created image file %s\n",
               outputFile.c_str());
    return true;
}

}  // namespace veltrion::images

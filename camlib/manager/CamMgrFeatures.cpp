// The feature-layout operations of the manager: the device I/O around the
// pure JSON lookups of FeatureLayout, the camera's own copy of the JSON, and
// the feature query.

#include <algorithm>
#include <fstream>

#include "base/WaitClock.h"
#include "base/ByteLayout.h"
#include "manager/DeviceSession.h"
#include "image/ComponentInfo.h"
#include "image/ImageSelection.h"
#include "manager/Veltrion2CamMgr.h"

namespace veltrion {

namespace {

using flashmap::kPageSize;

constexpr int kFeatureQueryAttempts = 3;
constexpr std::chrono::milliseconds kFeatureQueryPause{1};

// The JSON record in flash: its window, the header and the text after it.
constexpr uint16_t kJsonAddrHigh = flash::addrHigh(flashmap::kJsonAddress);
constexpr uint16_t kJsonAddrLow = flash::addrLow(flashmap::kJsonAddress);
constexpr size_t kJsonLengthOffset = 2;
constexpr uint32_t kJsonTextInFirstPage = kPageSize - flash::kJsonHeaderSize;

bool startsWith(const std::vector<uint8_t>& bytes, std::string_view magic) {
    return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
}

}  // namespace

bool Veltrion2CamMgr::initJsonVariables(const std::string& text, JsonRef& root, json_t*& memoryLayout,
                                        json_t*& configurations, json_t*& features, json_t*& baseURL,
                                        json_t*& filterControl) {
    return features::initJsonVariables(text, root, memoryLayout, configurations, features, baseURL, filterControl,
                                       logger_.get());
}

bool Veltrion2CamMgr::getFeatureAddrLen(json_t* memoryLayout, uint32_t& baseAddress, uint32_t& dataLength) {
    return features::getFeatureAddrLen(memoryLayout, baseAddress, dataLength, logger_.get());
}

bool Veltrion2CamMgr::getFeatureInfo(json_t* memoryLayout, json_t* configurations, json_t* features,
                                     json_t* baseURL, FeatureInfo& info, const std::string& featureName,
                                     const std::string& propName) {
    return features::getFeatureInfo(memoryLayout, configurations, features, baseURL, info, featureName, propName,
                                    logger_.get());
}

bool Veltrion2CamMgr::getFeatureMap(json_t* configurations, json_t* features,
                                    std::map<std::string, json_t*>& map) {
    return features::getFeatureMap(configurations, features, map, logger_.get());
}

std::optional<std::vector<uint8_t>> Veltrion2CamMgr::getBufferByValue(uint32_t value, int length) {
    return features::getBufferByValue(value, length, logger_.get());
}

bool Veltrion2CamMgr::programDefaultFeatureValues(const std::string& jsonText, const std::string& devPath) {
    // A text that is there but does not parse is invalid, not missing.
    if (!jsonText.empty()) {
        const auto bytes = std::span(reinterpret_cast<const uint8_t*>(jsonText.data()), jsonText.size());
        if (const auto problem = images::jsonSyntaxProblem(bytes)) {
            logger_->log(kLogError, "Veltrion2CamMgr.programDefaultFeatureValues: json is invalid - %s\n",
                         problem->c_str());
            return false;
        }
    }
    JsonRef root;
    json_t *memoryLayout = nullptr, *configurations = nullptr, *featureList = nullptr, *baseURL = nullptr,
           *filterControl = nullptr;
    initJsonVariables(jsonText, root, memoryLayout, configurations, featureList, baseURL, filterControl);
    if (!root || !memoryLayout || !configurations || !featureList) {
        logger_->log(kLogError, "Veltrion2CamMgr.programDefaultFeatureValues: json is not loaded\n");
        return false;
    }
    uint32_t base = 0;
    uint32_t length = 0;
    if (!getFeatureAddrLen(memoryLayout, base, length)) {
        logger_->log(kLogError, "CamMgr.programDefaultFeatureValues: no info on baseAddr and dataLen\n");
        return false;
    }
    // Refused before any read: the area read back and rewritten must be flash.
    if (!flash::fitsInFlash(base, length)) {
        logger_->log(kLogError, "CamMgr.programDefaultFeatureValues: feature area 0x%x + %u lies outside the flash\n",
                     base, length);
        return false;
    }
    // The read, the patch and the write happen under one writer lock.
    auto writeLock = lockCameraForWriting(devPath);
    if (!writeLock) return false;
    std::vector<uint8_t> stored(length);
    if (!readFlashContents(base, stored.data(), length, devPath)) {
        logger_->log(kLogError, "CamMgr.programDefaultFeatureValues: failed to read flash contents!\n");
        return false;
    }
    std::vector<uint8_t> area = stored;
    features::placeDefaultValues(memoryLayout, configurations, featureList, baseURL, area, logger_.get());
    // The whole area is written at most once, and only when a value changed.
    if (area != stored && !updateFlashContents(base, area.data(), length, true, devPath)) {
        logger_->log(kLogError, "CamMgr.programDefaultFeatureValues: failed to write data\n");
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::getJSONFromCam(const std::string& devPath, const std::string& outputFile) {
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::getJSONFromCam failed - unable to open dev %s\n", devPath.c_str());
        return false;
    }
    if (!enterSPIMode()) {
        logger_->log(kLogError, "Veltrion2CamMgr::getJSONFromCam failed - unable to switch to SPI mode\n");
        return false;
    }
    // The camera leaves SPI mode on every path from here on, unless another
    // process is writing its flash at the time: taking SPI mode away would
    // make that writer's next page fail.
    struct LeaveSpiMode {
        Veltrion2CamMgr& mgr;
        const std::string& devPath;
        ~LeaveSpiMode() {
            const CameraWriteLock writer = CameraWriteLock::acquire(mgr.device()->writerLockFile(devPath));
            if (writer.status() == CameraWriteLock::Status::Busy) {
                mgr.logger().log(kLogInfo,
                                 "Veltrion2CamMgr::getJSONFromCam - another writer holds the camera, which stays in "
                                 "SPI mode for it\n");
                return;
            }
            if (!mgr.exitSPIMode())
                mgr.logger().log(kLogError, "Veltrion2CamMgr::getJSONFromCam failed - unable to exit SPI mode\n");
        }
    } leave{*this, devPath};

    std::vector<uint8_t> first(kPageSize);
    if (!readBlockAtAddr(kJsonAddrHigh, kJsonAddrLow, first.data(), kPageSize)) {
        logger_->log(kLogError, "Veltrion2CamMgr::getJSONFromCam failed - read hdr failed\n");
        return false;
    }
    if (first[0] != flash::kJsonTag0 || first[1] != flash::kJsonTag1) {
        logger_->log(kLogError, "Veltrion2CamMgr::getJSONFromCam failed - invalid hdr 0x%x 0x%x\n", first[0], first[1]);
        return false;
    }
    const uint32_t length = *ByteReader(first).le32(kJsonLengthOffset);
    // The record fits its one sector: a longer length would read past it.
    if (length < 1 || length > flash::kJsonMaxTextLength) {
        logger_->log(kLogError, "Veltrion2CamMgr::getJSONFromCam failed - invalid json size %d\n",
                     static_cast<int>(length));
        return false;
    }
    std::vector<uint8_t> text(first.begin() + flash::kJsonHeaderSize, first.end());
    if (length + flash::kJsonHeaderSize <= kPageSize) {
        text.resize(length);
    } else {
        const uint32_t restLength = length - kJsonTextInFirstPage;
        const uint32_t restPages = (restLength + kPageSize - 1) / kPageSize * kPageSize;
        std::vector<uint8_t> rest(restPages);
        if (!readBlockAtAddr(kJsonAddrHigh, static_cast<uint16_t>(kJsonAddrLow + kPageSize), rest.data(),
                             restPages)) {
            logger_->log(kLogError, "Veltrion2CamMgr::getJSONFromCam failed - read 0x%x 0x%x failed\n", kJsonAddrHigh,
                         kPageSize);
            return false;
        }
        text.insert(text.end(), rest.begin(), rest.begin() + restLength);
    }
    std::ofstream out(outputFile, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        logger_->log(kLogError, "Veltrion2CamMgr::getJSONFromCam failed - failed to dump file %s\n",
                     outputFile.c_str());
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::extractJsonStr(uint16_t vendorId, uint16_t productId, const std::string& imagePath,
                                     std::string& jsonText) {
    std::vector<uint8_t> file;
    if (!openAndReadFile(imagePath, file)) {
        logger_->log(kLogError, "Veltrion2CamMgr::extractJsonStr: failed to read file %s\n", imagePath.c_str());
        return false;
    }
    std::vector<uint8_t> image;
    if (startsWith(file, unifiedimage::kMagic)) {
        UnifiedPackage unified;
        const int entry = parseUpdatePackage(file.data(), file.size(), unified)
                              ? chooseImageForCamera(unified, vendorId, productId).index
                              : -1;
        if (entry < 0) {
            logger_->log(kLogError, "updateCameraFirmware: failed to select firmware from package\n");
            return false;
        }
        const auto bytes = unified.image(static_cast<size_t>(entry));
        image.assign(bytes.begin(), bytes.end());
    } else {
        image = std::move(file);
    }
    UpdatePackage package;
    if (!parseUpdatePackage(image.data(), image.size(), package)) {
        logger_->log(kLogError, "Veltrion2CamMgr::extractJsonStr - failed to parse Update package\n");
        return false;
    }
    jsonText.assign(package.json.begin(), package.json.end());
    return true;
}

bool Veltrion2CamMgr::getVeltrion2Features(uint16_t featureCode, uint8_t* buffer, uint16_t length) {
    for (int attempt = 1; attempt <= kFeatureQueryAttempts; ++attempt) {
        if (device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kQuery, 0, featureCode, buffer, length)) return true;
        logger_->log(kLogError,
                     "Veltrion2CamMgr::getVeltrion2Features failed - get send vendor command 0xFE for feature code %d. "
                     "Retry %d\n",
                     featureCode, attempt);
        WaitClock::sleepFor(kFeatureQueryPause);
    }
    return false;
}

bool Veltrion2CamMgr::getValuesFromFeatureIDs(const std::string& devPath, std::vector<FeatureValueRequest>& requests) {
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::getValuesFromFeatureIDs failed - unable to open dev %s\n",
                     devPath.c_str());
        return false;
    }
    for (FeatureValueRequest& request : requests) {
        request.value.assign(request.length, 0);
        if (!getVeltrion2Features(request.featureId, request.value.data(), request.length)) {
            logger_->log(kLogError, "Veltrion2CamMgr::getValuesFromFeatureIDs failed - on vendor command fid %u, length %u\n",
                         request.featureId, request.length);
            return false;
        }
    }
    return true;
}

}  // namespace veltrion

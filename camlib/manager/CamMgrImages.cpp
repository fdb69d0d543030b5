// The manager's update-image and image-creation operations: each passes the
// manager's logger (and, for lookup tables, its lookup-table buffer) to the
// device-free code that does the work.

#include "image/LutFiles.h"
#include "manager/Veltrion2CamMgr.h"

namespace veltrion {

static_assert(lut::kBufferSize == flash::kLutBufferSize, "one lookup-table buffer layout");

namespace {

// A null pointer stands for "no buffer", whatever length comes with it.
std::span<const uint8_t> bytesOf(const uint8_t* data, size_t length) {
    return data ? std::span<const uint8_t>(data, length) : std::span<const uint8_t>();
}

}  // namespace

bool Veltrion2CamMgr::parseUpdatePackage(const uint8_t* buffer, size_t length, UpdatePackage& package) {
    return images::parseUpdatePackage(bytesOf(buffer, length), package, logger_.get());
}

bool Veltrion2CamMgr::parseUpdatePackage(const uint8_t* buffer, size_t length, UnifiedPackage& package) {
    return images::parseUpdatePackage(bytesOf(buffer, length), package, logger_.get());
}

bool Veltrion2CamMgr::getHeaderInfoFromFlashFile(std::span<const uint8_t> component, ComponentHeaderInfo& info) {
    return images::getHeaderInfoFromFlashFile(component, info, logger_.get());
}

bool Veltrion2CamMgr::getVersionStrFromFilename(const std::string& fileName, std::string& version) {
    return images::getVersionStrFromFilename(fileName, version, logger_.get());
}

bool Veltrion2CamMgr::isValidFx3Data(const uint8_t* data, size_t length) {
    return images::isValidFx3Data(data, length, logger_.get());
}

std::optional<Md5Digest> Veltrion2CamMgr::getMD5Hash(const uint8_t* data, size_t length) {
    return images::getMD5Hash(bytesOf(data, length), logger_.get());
}

bool Veltrion2CamMgr::openAndReadFile(const std::string& path, std::vector<uint8_t>& buffer) {
    return images::openAndReadFile(path, buffer, logger_.get());
}

bool Veltrion2CamMgr::openAndDumpFile(const std::string& path, const uint8_t* data, size_t length, bool append) {
    return images::openAndDumpFile(path, bytesOf(data, length), append, logger_.get());
}

bool Veltrion2CamMgr::createSingleImage(const std::vector<std::string>& arguments) {
    return images::createSingleImage(arguments, lutBuffer_, logger_.get());
}

bool Veltrion2CamMgr::createSingleImage(const SingleImageSources& sources) {
    return images::createSingleImage(sources, lutBuffer_, logger_.get());
}

bool Veltrion2CamMgr::createUnifiedImage(const std::vector<std::string>& arguments) {
    return images::createUnifiedImage(arguments, logger_.get());
}

bool Veltrion2CamMgr::loadAllLUTFilesInDirectory(const std::string& directory) {
    return images::loadAllLUTFilesInDirectory(directory, lutBuffer_, logger_.get());
}

bool Veltrion2CamMgr::loadLUTFile(const std::string& file, int position) {
    return images::loadLUTFile(file, position, lutBuffer_, logger_.get());
}

bool Veltrion2CamMgr::loadAlignmentData(const std::string& file) {
    return images::loadAlignmentData(file, lutBuffer_, logger_.get());
}

}  // namespace veltrion

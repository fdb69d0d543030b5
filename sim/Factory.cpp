#include "Factory.h"

#include <algorithm>

#include "SimError.h"
#include "device/CameraIdentity.h"
#include "format/ComponentHeader.h"
#include "format/FlashMap.h"
#include "format/Fx3BootImage.h"
#include "format/PseudoRandomFill.h"

namespace camsim {

using namespace veltrion::flashmap;

namespace {

constexpr const char* kFactoryTail = ".1.0.0";
constexpr const char* kFactoryFpgaVersion = "F1.1.0.0";
constexpr const char* kFactoryIspVersion = "I1.1.0.0";
constexpr const char* kFactoryAudioVersion = "A1.1.0.0";

std::vector<uint8_t> makeFx3Image(const char* kind, const std::string& version, size_t size) {
    veltrion::Fx3ImageRecipe recipe;
    recipe.versionText = version;
    recipe.imageSize = size;
    recipe.seed = veltrion::seedFromText(std::string(kind) + ":" + version);
    auto image = veltrion::buildFx3BootImage(recipe);
    if (!image) throw SimError(std::string("cannot build ") + kind + " image of " + std::to_string(size) + " bytes");
    return std::move(*image);
}

std::vector<uint8_t> makeComponent(const char* kind, const char* tag, const std::string& version, uint32_t address,
                                   size_t size) {
    veltrion::ComponentRecipe recipe;
    recipe.fileName = std::string(kind) + "_" + version + ".bin";
    recipe.flashAddress = address;
    recipe.totalLength = size;
    recipe.tag = tag;
    recipe.seed = veltrion::seedFromText(recipe.fileName);
    auto component = veltrion::buildComponent(recipe);
    if (!component) throw SimError("cannot build component " + recipe.fileName);
    return std::move(*component);
}

void place(std::span<uint8_t> flash, uint32_t address, uint32_t regionSize, const std::vector<uint8_t>& image) {
    if (image.size() > regionSize || address > flash.size() || regionSize > flash.size() - address)
        throw SimError("firmware image does not fit its flash region");
    std::fill_n(flash.begin() + address, regionSize, kErasedByte);
    std::copy(image.begin(), image.end(), flash.begin() + address);
}

// Whole sectors from the address up to the component's end, as the
// component writers erase them.
uint32_t sectorsFor(size_t length) { return static_cast<uint32_t>(length / kSector64K + 1) * kSector64K; }

}  // namespace

FirmwareVersions factoryVersions(uint16_t vendorId, uint16_t productId) {
    const veltrion::CameraIdentity* identity = veltrion::findCameraIdentity(vendorId, productId);
    if (!identity) throw SimError("unknown camera identity " + veltrion::vidPidKey(vendorId, productId));
    const std::string fx3 = std::string(identity->versionCode) + kFactoryTail;
    return {fx3, fx3, fx3, kFactoryFpgaVersion, kFactoryIspVersion, kFactoryAudioVersion};
}

std::vector<uint8_t> makeBootLoader(const std::string& version, size_t size) {
    return makeFx3Image("bootloader", version, size);
}

std::vector<uint8_t> makeFx3Firmware(const std::string& version, size_t size) {
    return makeFx3Image("fx3", version, size);
}

std::vector<uint8_t> makeBackupFx3Firmware(const std::string& version, size_t size) {
    return makeFx3Image("backup-fx3", version, size);
}

std::vector<uint8_t> makeFpgaComponent(const std::string& version, size_t size) {
    return makeComponent("fpga", "FPGA01", version, kFpgaAddress, size);
}

std::vector<uint8_t> makeIspComponent(const std::string& version, size_t size) {
    return makeComponent("isp", "ISP001", version, kIspAddress, size);
}

std::vector<uint8_t> makeAudioComponent(const std::string& version, size_t ispSize, size_t size) {
    const uint32_t address = ispSize > kIspLongThreshold ? kAudioAddressAfterLongIsp : kAudioAddress;
    return makeComponent("audio", "AUD001", version, address, size);
}

FirmwareSet makeFirmwareSet(const FirmwareVersions& versions) {
    FirmwareSet set;
    set.bootLoader = makeBootLoader(versions.bootLoader);
    set.fx3 = makeFx3Firmware(versions.fx3);
    set.backupFx3 = makeBackupFx3Firmware(versions.backupFx3);
    set.fpga = makeFpgaComponent(versions.fpga);
    set.isp = makeIspComponent(versions.isp);
    set.audio = makeAudioComponent(versions.audio, set.isp.size());
    return set;
}

void writeFirmwareSet(std::span<uint8_t> flash, const FirmwareSet& firmware) {
    place(flash, kBootLoaderAddress, kBootLoaderRegionSize, firmware.bootLoader);
    place(flash, kFx3Address, kFx3RegionSize, firmware.fx3);
    place(flash, kBackupFx3Address, kBackupFx3RegionSize, firmware.backupFx3);
    place(flash, kFpgaAddress, kFpgaRegionSize, firmware.fpga);
    const auto isp = veltrion::decodeComponentHeader(firmware.isp);
    const auto audio = veltrion::decodeComponentHeader(firmware.audio);
    if (!isp || !audio) throw SimError("ISP or audio component without a header");
    place(flash, isp->flashAddress, sectorsFor(firmware.isp.size()), firmware.isp);
    place(flash, audio->flashAddress, sectorsFor(firmware.audio.size()), firmware.audio);
}

}  // namespace camsim

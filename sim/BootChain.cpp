#include "BootChain.h"

#include "format/ComponentHeader.h"
#include "format/FlashMap.h"
#include "format/Fx3BootImage.h"

namespace camsim {

using namespace veltrion::flashmap;
using veltrion::ComponentCheck;
using veltrion::ComponentHeader;
using veltrion::Fx3ImageCheck;

namespace {

std::span<const uint8_t> region(std::span<const uint8_t> flash, uint32_t address, uint32_t size) {
    if (address >= flash.size()) return {};
    return flash.subspan(address, std::min<size_t>(size, flash.size() - address));
}

bool bootable(std::span<const uint8_t> image) {
    return veltrion::validateFx3BootImage(image) == Fx3ImageCheck::Ok;
}

ComponentState loadComponent(std::span<const uint8_t> flash, uint32_t address) {
    ComponentState state;
    ComponentHeader header;
    if (address >= flash.size() || veltrion::checkComponent(flash.subspan(address), &header) != ComponentCheck::Ok)
        return state;
    state.valid = true;
    state.version = veltrion::versionTextFromFileName(header.fileName).value_or("");
    return state;
}

}  // namespace

uint32_t audioAddressFor(std::span<const uint8_t> flash) {
    if (flash.size() <= kIspAddress) return kAudioAddress;
    const auto isp = veltrion::decodeComponentHeader(flash.subspan(kIspAddress));
    return isp && isp->length > kIspLongThreshold ? kAudioAddressAfterLongIsp : kAudioAddress;
}

RunningFirmware bootFromFlash(std::span<const uint8_t> flash) {
    RunningFirmware running;
    if (!bootable(region(flash, kBootLoaderAddress, kBootLoaderRegionSize))) return running;

    std::span<const uint8_t> fx3 = region(flash, kFx3Address, kFx3RegionSize);
    running.fx3Source = Fx3Source::Main;
    if (!bootable(fx3)) {
        fx3 = region(flash, kBackupFx3Address, kBackupFx3RegionSize);
        running.fx3Source = Fx3Source::Backup;
        if (!bootable(fx3)) {
            running.fx3Source = Fx3Source::None;
            return running;  // the controller falls back to its ROM boot loader
        }
    }
    running.mode = RunMode::Camera;
    const auto version = veltrion::fx3ImageVersionText(fx3);
    running.fx3.valid = version.has_value();
    running.fx3.version = version.value_or("");

    loadRuntimeComponents(flash, running);
    return running;
}

void loadRuntimeComponents(std::span<const uint8_t> flash, RunningFirmware& running) {
    running.isp = loadComponent(flash, kIspAddress);
    running.audio = loadComponent(flash, audioAddressFor(flash));
    running.fpga = loadComponent(flash, kFpgaAddress);
}

}  // namespace camsim

#pragma once

// The firmware a camera leaves the factory with, and the builders of each
// component, so that other tools can write the same components to files with
// chosen versions. A component built twice for one version is identical.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace camsim {

struct FirmwareVersions {
    std::string bootLoader;
    std::string fx3;
    std::string backupFx3;
    std::string fpga;
    std::string isp;
    std::string audio;
};

struct FirmwareSet {
    std::vector<uint8_t> bootLoader;
    std::vector<uint8_t> fx3;
    std::vector<uint8_t> backupFx3;
    std::vector<uint8_t> fpga;
    std::vector<uint8_t> isp;
    std::vector<uint8_t> audio;
};

// Sizes of the generated images.
constexpr size_t kFactoryBootLoaderSize = 20 * 1024;
constexpr size_t kFactoryFx3Size = 148 * 1024;
constexpr size_t kFactoryBackupFx3Size = 120 * 1024;
constexpr size_t kFactoryIspSize = 48 * 1024;
constexpr size_t kFactoryAudioSize = 40 * 1024;
constexpr size_t kFactoryFpgaSize = 1024 * 1024;

// The factory versions of a USB identity: the identity's version code with
// ".1.0.0" for the FX3 images, F1.1.0.0, I1.1.0.0 and A1.1.0.0 for the rest.
// Throws SimError for an identity outside the camera line.
FirmwareVersions factoryVersions(uint16_t vendorId, uint16_t productId);

std::vector<uint8_t> makeBootLoader(const std::string& version, size_t size = kFactoryBootLoaderSize);
std::vector<uint8_t> makeFx3Firmware(const std::string& version, size_t size = kFactoryFx3Size);
std::vector<uint8_t> makeBackupFx3Firmware(const std::string& version, size_t size = kFactoryBackupFx3Size);
// "VM" components named like "fpga_F1.1.0.0.bin", with their flash address.
std::vector<uint8_t> makeFpgaComponent(const std::string& version, size_t size = kFactoryFpgaSize);
std::vector<uint8_t> makeIspComponent(const std::string& version, size_t size = kFactoryIspSize);
// The audio component's address depends on the ISP length it is paired with.
std::vector<uint8_t> makeAudioComponent(const std::string& version, size_t ispSize = kFactoryIspSize,
                                        size_t size = kFactoryAudioSize);

FirmwareSet makeFirmwareSet(const FirmwareVersions& versions);

// Places every component at its flash address, as a production programmer
// does: each region is erased first.
void writeFirmwareSet(std::span<uint8_t> flash, const FirmwareSet& firmware);

}  // namespace camsim

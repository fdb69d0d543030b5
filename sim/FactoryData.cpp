#include "FactoryData.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "CameraFolder.h"
#include "FeatureJson.h"
#include "FeatureMap.h"
#include "LookupTable.h"
#include "SimError.h"
#include "device/CameraIdentity.h"
#include "format/PseudoRandomFill.h"
#include "base/ByteLayout.h"
#include "config/CalibrationParams.h"
#include "config/ConfigBlockLayout.h"
#include "base/VersionNumber.h"

namespace camsim {

namespace cb = veltrion::configblock;
using veltrion::flashmap::kErasedByte;

namespace {

// The group whose cameras carry lens calibration in their block.
constexpr const char* kCalibratedGroup = "V2sG";
// The ISP boot loader's first stage.
constexpr uint16_t kIspPhase1Size = 0x1800;
// Alignment values and JPEG lengths lie in these ranges on real units.
constexpr uint16_t kCtgBase = 0x0080;
constexpr uint16_t kCtgSpread = 0x0300;
constexpr uint16_t kJpegBase = 0x1000;
constexpr uint16_t kJpegSpread = 0x2C00;

// EEPROM layout of the board: magic, layout version, board revision,
// identity, date of manufacture, serial number, model, checksum.
constexpr std::array<uint8_t, 4> kEepromMagic = {'V', 'L', 'T', 'E'};
constexpr uint8_t kEepromLayoutVersion = 1;
constexpr uint8_t kBoardRevision = 'C';
constexpr size_t kEepromTextSize = 32;
constexpr uint16_t kFirstProductionYear = 2021;

std::string groupOf(uint16_t vendorId, uint16_t productId) {
    const std::string group = veltrion::getFwGroupFromVidPid(vendorId, productId);
    if (group.empty()) throw SimError("unknown camera identity " + veltrion::vidPidKey(vendorId, productId));
    return group;
}

// Per-unit variation, the same for every build of one serial number.
class UnitNoise {
public:
    UnitNoise(const std::string& purpose, const std::string& serial) : bytes_(64) {
        veltrion::fillPseudoRandom(bytes_, veltrion::seedFromText(purpose + ":" + serial));
    }
    uint16_t next(uint16_t spread) {
        const uint16_t value = static_cast<uint16_t>(bytes_[index_] << 8 | bytes_[index_ + 1]);
        index_ = (index_ + 2) % bytes_.size();
        return static_cast<uint16_t>(value % spread);
    }
    // A value in [-1, 1).
    float unit() { return static_cast<float>(next(2000)) / 1000.0f - 1.0f; }

private:
    std::vector<uint8_t> bytes_;
    size_t index_ = 0;
};

veltrion::CalibrationParams makeCalibration(const std::string& serial) {
    UnitNoise noise("calibration", serial);
    veltrion::CalibrationParams p;
    for (float& f : p.focalLength) f = 1188.5f + 6.0f * noise.unit();
    for (float& k : p.k1) k = -0.231f + 0.01f * noise.unit();
    for (float& h : p.hfov) h = 70.5f + 0.4f * noise.unit();
    for (int32_t& x : p.overlapx) x = 96 + static_cast<int32_t>(noise.next(16));
    for (int32_t& y : p.overlapy) y = static_cast<int32_t>(noise.next(9)) - 4;
    for (float& r : p.cylinderR) r = 1210.0f + 8.0f * noise.unit();
    return p;
}

void place(std::span<uint8_t> flash, uint32_t address, std::span<const uint8_t> bytes) {
    if (address > flash.size() || bytes.size() > flash.size() - address)
        throw SimError("factory data does not fit the flash");
    std::copy(bytes.begin(), bytes.end(), flash.begin() + address);
}

}  // namespace

std::vector<uint8_t> makeConfigMainPage(const FirmwareSet& firmware, uint16_t vendorId, uint16_t productId,
                                        const std::string& serial) {
    std::vector<uint8_t> page;
    page.reserve(cb::kPageSize);
    veltrion::ByteWriter writer(page);
    writer.be32(static_cast<uint32_t>(firmware.fpga.size()));
    writer.be16(kIspPhase1Size);
    const auto ispSize = static_cast<uint32_t>(firmware.isp.size());
    writer.u8(static_cast<uint8_t>(ispSize >> 16));
    writer.be16(static_cast<uint16_t>(ispSize));
    writer.text(serial, cb::kSerialSize);
    UnitNoise alignment("alignment", serial);
    for (size_t i = 0; i < cb::kCtgCount; ++i) writer.be16(static_cast<uint16_t>(kCtgBase + alignment.next(kCtgSpread)));
    writer.be16(static_cast<uint16_t>(firmware.audio.size()));
    UnitNoise jpeg("jpeg", serial);
    for (size_t i = 0; i < cb::kJpegCount; ++i) writer.be16(static_cast<uint16_t>(kJpegBase + jpeg.next(kJpegSpread)));
    writer.be16(veltrion::fletcher16(firmware.audio.data(), firmware.audio.size()));
    if (groupOf(vendorId, productId) == kCalibratedGroup) {
        for (uint32_t word : veltrion::calibrationToWords(makeCalibration(serial))) writer.be32(word);
    } else {
        writer.fill(kErasedByte, cb::kCalibrationSize);
    }
    writer.fill(kErasedByte, cb::kPageSize - writer.size());
    return page;
}

std::vector<uint8_t> makeConfigSecondPage(uint16_t vendorId, uint16_t productId) {
    // The feature configuration table holds the factory defaults of the
    // group's feature JSON; the rest of the page stays erased.
    std::vector<uint8_t> page(cb::kPageSize, kErasedByte);
    for (const FeatureProperty& property : featureProperties(featureJsonForGroup(groupOf(vendorId, productId)))) {
        if (!property.factoryDefault || property.address < cb::kSecondPageAddress) continue;
        const uint32_t offset = property.address - cb::kSecondPageAddress;
        if (offset + property.length > cb::kFeatureTableSize) continue;
        for (uint32_t i = 0; i < property.length; ++i)
            page[offset + i] = static_cast<uint8_t>(*property.factoryDefault >> (8 * (property.length - 1 - i)));
    }
    return page;
}

void writeFactoryData(std::span<uint8_t> flash, const FirmwareSet& firmware, uint16_t vendorId, uint16_t productId,
                      const std::string& serial) {
    if (flash.size() < veltrion::flashmap::kFlashSize) throw SimError("flash image too small for factory data");
    std::fill_n(flash.begin() + cb::kSectorAddress, cb::kSectorSize, kErasedByte);
    place(flash, cb::kMainPageAddress, makeConfigMainPage(firmware, vendorId, productId, serial));
    place(flash, cb::kSecondPageAddress, makeConfigSecondPage(vendorId, productId));
    writeLookupTable(flash, serial);

    std::fill_n(flash.begin() + veltrion::flashmap::kJsonAddress, veltrion::flashmap::kSector64K, kErasedByte);
    place(flash, veltrion::flashmap::kJsonAddress, makeJsonRecord(featureJsonForGroup(groupOf(vendorId, productId))));
}

std::vector<uint8_t> makeFactoryEeprom(uint16_t vendorId, uint16_t productId, const std::string& serial) {
    const veltrion::CameraIdentity* identity = veltrion::findCameraIdentity(vendorId, productId);
    if (!identity) throw SimError("unknown camera identity " + veltrion::vidPidKey(vendorId, productId));
    UnitNoise date("manufactured", serial);

    std::vector<uint8_t> eeprom;
    eeprom.reserve(kEepromSize);
    veltrion::ByteWriter writer(eeprom);
    writer.bytes(kEepromMagic);
    writer.u8(kEepromLayoutVersion);
    writer.u8(kBoardRevision);
    writer.le16(vendorId);
    writer.le16(productId);
    writer.le16(static_cast<uint16_t>(kFirstProductionYear + date.next(4)));
    writer.u8(static_cast<uint8_t>(1 + date.next(12)));
    writer.u8(static_cast<uint8_t>(1 + date.next(28)));
    writer.text(serial, kEepromTextSize);
    writer.text(identity->modelDescription, kEepromTextSize);
    writer.le16(veltrion::fletcher16(eeprom.data(), eeprom.size()));
    writer.fill(kErasedByte, kEepromSize - writer.size());
    return eeprom;
}

void writeFactoryEeprom(const std::filesystem::path& file, uint16_t vendorId, uint16_t productId,
                        const std::string& serial) {
    const std::vector<uint8_t> eeprom = makeFactoryEeprom(vendorId, productId, serial);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(eeprom.data()), static_cast<std::streamsize>(eeprom.size()));
    out.close();
    if (!out) throw SimError("cannot write " + file.string());
}

}  // namespace camsim

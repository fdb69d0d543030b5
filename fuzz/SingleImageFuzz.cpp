// libFuzzer entry for the single-image parser. Every input is parsed as it
// is, and again with its checksums made right (the components' own, then the
// body's MD5), so that mutations reach the checks that lie behind them. A
// parse may fail; it must never touch memory outside the input, and what it
// returns must hold together.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "base/ByteLayout.h"
#include "base/VersionNumber.h"
#include "format/ComponentHeader.h"
#include "format/Fx3BootImage.h"
#include "image/ImageFiles.h"
#include "image/UpdateImage.h"

namespace {

using namespace veltrion;
using fuzzsupport::require;

void parseAndCheck(std::span<const uint8_t> file, fuzzsupport::QuietLogger& logger) {
    UpdatePackage package;
    if (!images::parseUpdatePackage(file, package, logger)) {
        require(package.fx3.empty() && package.fpga.data.empty() && package.json.empty() &&
                package.lutData.empty() && package.serialNumbers.empty());
        return;
    }
    const size_t cameras = package.serialNumbers.size();
    require(package.lutData.size() == cameras * singleimage::kLutBlockSize);
    require(package.alignmentData.size() == cameras);
    require(package.fpga.length() + package.audio.length() + package.isp.length() + package.fx3.size() +
                package.bootloader.size() + package.backupFx3.size() + package.json.size() +
                package.auxBlob.size() + package.lutData.size() <=
            file.size());
    for (size_t i = 0; i < cameras; ++i) require(package.lookupTable(i).size() == singleimage::kLutBlockSize);
}

// Where each of the eight components lies in the body, when the header's
// lengths fit the file.
std::vector<std::span<uint8_t>> componentsOf(std::vector<uint8_t>& file, size_t headerLength) {
    const ByteReader reader(file);
    std::vector<std::span<uint8_t>> parts;
    size_t offset = headerLength;
    for (size_t i = 0; i < singleimage::kComponentCount; ++i) {
        const uint32_t length = *reader.le32(singleimage::lengthOffset(i));
        if (!reader.has(offset, length)) break;
        parts.push_back(std::span<uint8_t>(file).subspan(offset, length));
        offset += length;
    }
    return parts;
}

void resealFx3(std::span<uint8_t> image) {
    const Fx3ImageLayout layout = inspectFx3BootImage(image);
    if (layout.check != Fx3ImageCheck::BadChecksum) return;
    std::vector<uint8_t> word;
    ByteWriter(word).le32(layout.computedChecksum);
    std::copy(word.begin(), word.end(), image.begin() + static_cast<std::ptrdiff_t>(layout.length - word.size()));
}

void resealVm(std::span<uint8_t> part) {
    if (part.size() < component::kHeaderSize) return;
    const uint16_t sum = fletcher16(part.data() + component::kHeaderSize, part.size() - component::kHeaderSize);
    part[component::kChecksumOffset] = static_cast<uint8_t>(sum);
    part[component::kChecksumOffset + 1] = static_cast<uint8_t>(sum >> 8);
}

// False when the input is too short to carry a header and a body.
bool reseal(std::vector<uint8_t>& file, fuzzsupport::QuietLogger& logger) {
    const ByteReader reader(file);
    if (!reader.has(0, singleimage::kFixedHeaderSize)) return false;
    const uint32_t headerLength = *reader.le32(singleimage::kHeaderLengthOffset);
    if (headerLength < singleimage::kFixedHeaderSize || headerLength > file.size()) return false;
    const auto parts = componentsOf(file, headerLength);
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i == singleimage::kFx3 || i == singleimage::kBootloader || i == singleimage::kBackupFx3)
            resealFx3(parts[i]);
        else if (i == singleimage::kFpga || i == singleimage::kAudio || i == singleimage::kIsp)
            resealVm(parts[i]);
    }
    const auto digest = images::getMD5Hash(std::span<const uint8_t>(file).subspan(headerLength), logger);
    if (!digest) return false;
    std::copy(digest->begin(), digest->end(), file.begin() + singleimage::kMd5Offset);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::QuietLogger logger;
    parseAndCheck(std::span<const uint8_t>(data, size), logger);
    std::vector<uint8_t> sealed(data, data + size);
    if (reseal(sealed, logger)) parseAndCheck(sealed, logger);
    return 0;
}

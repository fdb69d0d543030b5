// libFuzzer entry for the readers of the blocks a camera sends back, which the
// health report, the identity query and the monitors decode: the self-test
// block, the version block, a "VM" component header, the flash-region scans
// of boot images and lookup tables, ROI records and face blocks. Each reader
// gets the whole input; the texts they make go through the report's helpers.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "base/VersionNumber.h"
#include "device/VersionBlock.h"
#include "format/ComponentHeader.h"
#include "format/FlashRegionScan.h"
#include "format/MonitorRecords.h"
#include "format/ReportText.h"
#include "format/SelfTestBlock.h"
#include "image/ComponentInfo.h"

namespace {

using namespace veltrion;
using fuzzsupport::require;

void selfTest(std::span<const uint8_t> bytes) {
    const auto block = decodeSelfTestBlock(bytes);
    require(block.has_value() == (bytes.size() >= selftest::kBlockSize));
    if (!block) return;
    require(encodeSelfTestBlock(*block) == std::vector<uint8_t>(bytes.begin(), bytes.begin() + selftest::kBlockSize));
    selfTestStatusText(*block);
}

void versions(std::span<const uint8_t> bytes) {
    for (const std::string& text : versionBlockTexts(bytes)) {
        require(text.size() < vreq::kVersionEntrySize - vreq::kVersionTextOffset);
        uint32_t packed = 0;
        if (parseVersionText(text, packed) == VersionParse::Ok) formatVersion(packed);
    }
}

void componentHeader(std::span<const uint8_t> bytes, fuzzsupport::QuietLogger& logger) {
    ComponentHeader header;
    const ComponentCheck check = checkComponent(bytes, &header);
    componentCheckName(check);
    if (check == ComponentCheck::Ok) require(header.length >= component::kHeaderSize && header.length <= bytes.size());
    if (const auto decoded = decodeComponentHeader(bytes)) {
        require(decoded->fileName.size() <= component::kFileNameMaxLength);
        versionTextFromFileName(decoded->fileName);
    }
    ComponentHeaderInfo info;
    images::getHeaderInfoFromFlashFile(bytes, info, logger);
}

void regionScans(std::span<const uint8_t> bytes) {
    const size_t used = usedLength(bytes);
    require(used <= bytes.size());
    startsWithCy(bytes);
    if (const auto version = bootImageVersionText(bytes.first(used))) {
        require(version->size() <= regionscan::kVersionTextMax);
        printableLine(*version);
    }
    ReportText text;
    appendErasedPairLines(text, bytes, 0x1A0000);
    reportNamePart(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    printableLines(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void monitorRecords(std::span<const uint8_t> bytes) {
    const auto roi = decodeRoiRecord(bytes);
    require(roi.has_value() == (bytes.size() >= kRoiRecordSize));
    const auto faces = decodeFaceBlock(bytes);
    require(faces.size() <= static_cast<size_t>(kFaceSlots));
    for (const FaceRecord& face : faces)
        require(face.left <= face.right && face.right < kFaceFrameWidth && face.top <= face.bottom &&
                face.bottom < kFaceFrameHeight);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::QuietLogger logger;
    const std::span<const uint8_t> bytes(data, size);
    selfTest(bytes);
    versions(bytes);
    componentHeader(bytes, logger);
    regionScans(bytes);
    monitorRecords(bytes);
    return 0;
}

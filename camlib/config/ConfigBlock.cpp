#include "config/ConfigBlock.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "base/ByteLayout.h"
#include "base/CNumericLocale.h"

namespace veltrion::configblock {

namespace {

constexpr size_t kLineBufferSize = 128;

void appendLine(std::string& text, const char* format, ...) __attribute__((format(printf, 2, 3)));
void appendLine(std::string& text, const char* format, ...) {
    char line[kLineBufferSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    text += line;
    text += "\r\n";
}

}  // namespace

bool parseMainPage(std::span<const uint8_t> mainPage, CamConfigBlock& block) {
    block = CamConfigBlock{};
    if (mainPage.size() < kPageSize) return false;
    const ByteReader page(mainPage);
    block.fpgaLength = *page.be32(kFpgaLengthOffset);
    block.ispPhase1Size = *page.be16(kIspPhase1SizeOffset);
    block.ispSize = uint32_t{*page.u8(kIspSizeOffset)} << 16 | *page.be16(kIspSizeOffset + 1);
    // Eighteen characters fill the field with no terminating zero.
    block.serialNumber = *page.text(kSerialOffset, kSerialSize);
    for (size_t i = 0; i < kCtgCount; ++i) block.ctg[i] = *page.be16(kCtgOffset + 2 * i);
    block.audioCodeLength = *page.be16(kAudioCodeLengthOffset);
    for (size_t i = 0; i < kJpegCount; ++i) block.jpegLength[i] = *page.be16(kJpegLengthOffset + 2 * i);
    block.audioChecksum = *page.be16(kAudioChecksumOffset);
    block.calibration = *parseCalibration(*page.bytes(kCalibrationOffset, kCalibrationSize));
    return true;
}

std::optional<CalibrationParams> parseCalibration(std::span<const uint8_t> bytes) {
    const ByteReader reader(bytes);
    CalibrationWords words{};
    for (size_t i = 0; i < words.size(); ++i) {
        const auto word = reader.be32(4 * i);
        if (!word) return std::nullopt;
        words[i] = *word;
    }
    return calibrationFromWords(words);
}

bool isErased(std::span<const uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == flashmap::kErasedByte; });
}

std::string toText(const CamConfigBlock& b) {
    // Calibration values print with "." even where the user's locale says ",".
    const CNumericLocale cLocale;
    std::string text;
    appendLine(text, "FPGA LEN \t\t= %u", b.fpgaLength);
    appendLine(text, "ISP Phase1 size \t= %hu", b.ispPhase1Size);
    appendLine(text, "ISP size \t\t= %u", b.ispSize);
    appendLine(text, "serial number \t\t= %s", b.serialNumber.c_str());
    appendLine(text, "TOP ctg0 \t\t= 0x%04x", b.ctg[0]);
    appendLine(text, "TOP ctg1 \t\t= 0x%04x", b.ctg[1]);
    appendLine(text, "TOP ctg2 \t\t= 0x%04x", b.ctg[2]);
    appendLine(text, "Right ctg0 \t\t= 0x%04x", b.ctg[3]);
    appendLine(text, "Right ctg1 \t\t= 0x%04x", b.ctg[4]);
    appendLine(text, "audio code len \t\t= %hu", b.audioCodeLength);
    for (size_t i = 0; i < kJpegCount; ++i)
        appendLine(text, "jpeg%zu len \t\t= 0x%04x", i + 1, b.jpegLength[i]);
    appendLine(text, "audio checksum (version)= 0x%04x", b.audioChecksum);
    const CalibrationParams& c = b.calibration;
    appendLine(text, "focallength 0 \t\t= %.6f", static_cast<double>(c.focalLength[0]));
    appendLine(text, "focallength 1 \t\t= %.6f", static_cast<double>(c.focalLength[1]));
    appendLine(text, "focallength 2 \t\t= %.6f", static_cast<double>(c.focalLength[2]));
    appendLine(text, "k1 0 \t\t\t= %.6f", static_cast<double>(c.k1[0]));
    appendLine(text, "k1 1 \t\t\t= %.6f", static_cast<double>(c.k1[1]));
    appendLine(text, "k1 2 \t\t\t= %.6f", static_cast<double>(c.k1[2]));
    appendLine(text, "hfov 0 \t\t\t= %.6f", static_cast<double>(c.hfov[0]));
    appendLine(text, "hfov 1 \t\t\t= %.6f", static_cast<double>(c.hfov[1]));
    appendLine(text, "hfov 2 \t\t\t= %.6f", static_cast<double>(c.hfov[2]));
    appendLine(text, "overlapx 0 \t\t= %d", c.overlapx[0]);
    appendLine(text, "overlapx 1 \t\t= %d", c.overlapx[1]);
    appendLine(text, "overlapy 0 \t\t= %d", c.overlapy[0]);
    appendLine(text, "overlapy 1 \t\t= %d", c.overlapy[1]);
    appendLine(text, "cylinderR 0 \t\t= %.6f", static_cast<double>(c.cylinderR[0]));
    appendLine(text, "cylinderR 1 \t\t= %.6f", static_cast<double>(c.cylinderR[1]));
    return text;
}

bool patchCtgValues(std::vector<uint8_t>& image, const std::array<int, kCtgCount>& values) {
    if (image.size() < kPageSize) return false;
    ByteWriter writer(image);
    for (size_t i = 0; i < kCtgCount; ++i)
        writer.patchBe16(kCtgOffset + 2 * i, static_cast<uint16_t>(static_cast<unsigned>(values[i]) & 0xFFFF));
    return true;
}

bool patchCalibration(std::vector<uint8_t>& image, const CalibrationParams& params) {
    if (image.size() < kPageSize) return false;
    ByteWriter writer(image);
    const CalibrationWords words = calibrationToWords(params);
    for (size_t i = 0; i < words.size(); ++i) writer.patchBe32(kCalibrationOffset + 4 * i, words[i]);
    return true;
}

}  // namespace veltrion::configblock

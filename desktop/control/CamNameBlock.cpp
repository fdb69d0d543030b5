#include "control/CamNameBlock.h"

#include <algorithm>

#include <QString>

namespace veltrion::desktop::camname {

namespace {
constexpr char16_t kFirstPrintable = 0x20;
constexpr char16_t kLastPrintable = 0x7E;

bool printable(QChar c) { return c.unicode() >= kFirstPrintable && c.unicode() <= kLastPrintable; }
}  // namespace

std::optional<std::string> nameBytes(const QString& text, std::string& refusal) {
    const bool ascii = std::all_of(text.begin(), text.end(), printable);
    const bool lengthOk = !text.isEmpty() && static_cast<size_t>(text.size()) <= kMaxNameLength;
    if (ascii && lengthOk) return text.toStdString();
    std::string shown;
    for (QChar c : text) shown += printable(c) ? static_cast<char>(c.unicode()) : '?';
    refusal = shown + " (" + std::to_string(text.size()) + " characters; 1 to " + std::to_string(kMaxNameLength) +
              " printable ASCII characters allowed)";
    return std::nullopt;
}

Block makeBlock(const std::string& name) {
    Block block{};
    std::copy_n(name.begin(), std::min(name.size(), kMaxNameLength), block.begin());
    uint8_t sum = 0;
    for (size_t i = 0; i < kChecksumOffset; ++i) sum = static_cast<uint8_t>(sum + block[i]);
    block[kChecksumOffset] = sum;
    return block;
}

void patchPage(Page& page, bool enable, const Block& block) {
    page[kFeatureOffset] = 0x01;
    page[kFeatureOffset + 1] = 0x00;
    page[kEnableOffset] = enable ? 1 : 0;
    std::copy(block.begin(), block.end(), page.begin() + kBlockOffset);
}

bool enabledInFeature(const uint8_t feature[3]) { return feature[0] == 1 && (feature[1] != 0 || feature[2] != 0); }

}  // namespace veltrion::desktop::camname

#include "device/VersionBlock.h"

#include "base/ByteLayout.h"

namespace veltrion {

namespace {

// The last byte of an entry is always taken as its end.
constexpr size_t kTextFieldSize = vreq::kVersionEntrySize - vreq::kVersionTextOffset - 1;

}  // namespace

std::array<std::string, kVersionBlockEntries> versionBlockTexts(std::span<const uint8_t> block) {
    const ByteReader reader(block);
    std::array<std::string, kVersionBlockEntries> texts;
    for (size_t k = 0; k < kVersionBlockEntries; ++k) {
        const size_t entry = k * vreq::kVersionEntrySize;
        if (!reader.has(entry, vreq::kVersionEntrySize)) break;
        texts[k] = *reader.text(entry + vreq::kVersionTextOffset, kTextFieldSize);
    }
    return texts;
}

}  // namespace veltrion

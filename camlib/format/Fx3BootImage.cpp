#include "Fx3BootImage.h"

#include <algorithm>

#include "PseudoRandomFill.h"
#include "base/ByteLayout.h"

namespace veltrion {

using namespace fx3image;

const char* fx3ImageCheckName(Fx3ImageCheck check) {
    switch (check) {
        case Fx3ImageCheck::Ok: return "ok";
        case Fx3ImageCheck::Empty: return "empty";
        case Fx3ImageCheck::TooShort: return "too short";
        case Fx3ImageCheck::BadSignature: return "bad signature";
        case Fx3ImageCheck::Unterminated: return "section chain not terminated";
        case Fx3ImageCheck::BadChecksum: return "checksum mismatch";
    }
    return "unknown";
}

namespace {

// Sums the little-endian words of a data block; its length is a multiple of 4.
uint32_t sumWords(const ByteReader& reader, size_t offset, size_t length) {
    uint32_t sum = 0;
    for (size_t at = offset; at < offset + length; at += kWordSize) sum += *reader.le32(at);
    return sum;
}

}  // namespace

Fx3ImageLayout walkFx3Sections(std::span<const uint8_t> image) {
    Fx3ImageLayout layout;
    if (image.empty()) return layout;
    if (image.size() <= kHeaderSize) {
        layout.check = Fx3ImageCheck::TooShort;
        return layout;
    }
    const ByteReader reader(image);
    size_t offset = kHeaderSize;
    // Every pass consumes at least one section header, so the walk ends.
    for (;;) {
        const auto words = reader.le32(offset);
        const auto address = reader.le32(offset + 4);
        if (!words || !address) break;
        if (*words == 0) {
            const auto stored = reader.le32(offset + kSectionHeaderSize);
            if (!stored) break;
            layout.entryPoint = *address;
            layout.storedChecksum = *stored;
            layout.length = offset + kSectionHeaderSize + kChecksumSize;
            layout.check = layout.storedChecksum == layout.computedChecksum ? Fx3ImageCheck::Ok
                                                                            : Fx3ImageCheck::BadChecksum;
            return layout;
        }
        const uint64_t dataLength = static_cast<uint64_t>(*words) * kWordSize;
        const size_t dataOffset = offset + kSectionHeaderSize;
        // A section that reaches the end leaves no room for the terminating one.
        if (dataLength >= image.size() - std::min(image.size(), dataOffset)) break;
        layout.computedChecksum += sumWords(reader, dataOffset, static_cast<size_t>(dataLength));
        layout.sections.push_back({*address, dataOffset, static_cast<size_t>(dataLength)});
        offset = dataOffset + static_cast<size_t>(dataLength);
    }
    layout.check = Fx3ImageCheck::Unterminated;
    return layout;
}

Fx3ImageLayout inspectFx3BootImage(std::span<const uint8_t> image) {
    Fx3ImageLayout layout;
    if (image.empty()) return layout;
    if (image.size() <= kHeaderSize) {
        layout.check = Fx3ImageCheck::TooShort;
        return layout;
    }
    if (image[0] != kSignature0 || image[1] != kSignature1) {
        layout.check = Fx3ImageCheck::BadSignature;
        return layout;
    }
    return walkFx3Sections(image);
}

Fx3ImageCheck validateFx3BootImage(std::span<const uint8_t> image) {
    return inspectFx3BootImage(image).check;
}

std::optional<std::string> fx3ImageVersionText(std::span<const uint8_t> image) {
    const Fx3ImageLayout layout = walkFx3Sections(image);
    if (layout.sections.empty()) return std::nullopt;
    const Fx3Section& first = layout.sections.front();
    const auto section = image.subspan(first.offset, first.length);
    const auto marker = std::search(section.begin(), section.end(), kVersionMarker.begin(), kVersionMarker.end());
    if (marker == section.end()) return std::nullopt;
    const auto textStart = marker + static_cast<std::ptrdiff_t>(kVersionMarker.size());
    const auto textEnd = std::find(textStart, section.end(), uint8_t{0});
    if (textEnd == section.end()) return std::nullopt;
    return std::string(textStart, textEnd);
}

std::optional<std::vector<uint8_t>> encodeFx3BootImage(const std::vector<Fx3SectionData>& sections,
                                                        uint32_t entryPoint, uint8_t control,
                                                        uint8_t imageType) {
    std::vector<uint8_t> out;
    ByteWriter writer(out);
    writer.u8(kSignature0);
    writer.u8(kSignature1);
    writer.u8(control);
    writer.u8(imageType);
    uint32_t checksum = 0;
    for (const Fx3SectionData& section : sections) {
        if (section.data.empty() || section.data.size() % kWordSize != 0) return std::nullopt;
        writer.le32(static_cast<uint32_t>(section.data.size() / kWordSize));
        writer.le32(section.loadAddress);
        const size_t dataOffset = out.size();
        writer.bytes(section.data);
        checksum += sumWords(ByteReader(out), dataOffset, section.data.size());
    }
    writer.le32(0);
    writer.le32(entryPoint);
    writer.le32(checksum);
    return out;
}

std::optional<std::vector<uint8_t>> buildFx3BootImage(const Fx3ImageRecipe& recipe) {
    const std::string marker = std::string(kVersionMarker) + recipe.versionText;
    // Header, terminating section and checksum around the sections.
    constexpr size_t kFrame = kHeaderSize + kSectionHeaderSize + kChecksumSize;
    const size_t minFirstSection = kVersionMarkerOffset + marker.size() + 1;
    if (recipe.imageSize % kWordSize != 0 || recipe.imageSize < kFrame + kSectionHeaderSize + minFirstSection)
        return std::nullopt;

    // Split the space evenly into sections of about kGeneratedSectionSize.
    const size_t space = recipe.imageSize - kFrame;
    const size_t count = std::max<size_t>(1, (space + kGeneratedSectionSize + kSectionHeaderSize - 1) /
                                                 (kGeneratedSectionSize + kSectionHeaderSize));
    const size_t payload = space - count * kSectionHeaderSize;
    const size_t share = payload / count / kWordSize * kWordSize;
    if (share < minFirstSection) return std::nullopt;

    std::vector<Fx3SectionData> sections(count);
    uint32_t address = recipe.loadAddress;
    for (size_t i = 0; i < count; ++i) {
        const size_t length = i + 1 < count ? share : payload - share * (count - 1);
        sections[i].loadAddress = address;
        sections[i].data.resize(length);
        fillPseudoRandom(sections[i].data, recipe.seed + i);
        address += static_cast<uint32_t>(length);
    }
    std::vector<uint8_t>& first = sections.front().data;
    std::copy(marker.begin(), marker.end(), first.begin() + kVersionMarkerOffset);
    first[kVersionMarkerOffset + marker.size()] = 0;
    // Execution starts right after the version text, inside the first section.
    const uint32_t entryPoint =
        recipe.loadAddress + static_cast<uint32_t>((minFirstSection + kWordSize - 1) / kWordSize * kWordSize);
    return encodeFx3BootImage(sections, entryPoint);
}

}  // namespace veltrion

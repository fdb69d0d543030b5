#include "ComponentHeader.h"

#include "PseudoRandomFill.h"
#include "base/ByteLayout.h"
#include "base/VersionNumber.h"

namespace veltrion {

using namespace component;

const char* componentCheckName(ComponentCheck check) {
    switch (check) {
        case ComponentCheck::Ok: return "ok";
        case ComponentCheck::TooShort: return "too short";
        case ComponentCheck::BadSignature: return "bad signature";
        case ComponentCheck::BadLength: return "bad length";
        case ComponentCheck::BadChecksum: return "checksum mismatch";
    }
    return "unknown";
}

std::optional<ComponentHeader> decodeComponentHeader(std::span<const uint8_t> bytes) {
    const ByteReader reader(bytes);
    if (!reader.has(0, kHeaderSize)) return std::nullopt;
    if (*reader.u8(0) != kSignature0 || *reader.u8(1) != kSignature1) return std::nullopt;
    ComponentHeader header;
    header.length = *reader.le32(kLengthOffset);
    header.reserved = *reader.le32(kReservedOffset);
    header.flashAddress = *reader.le32(kFlashAddressOffset);
    header.checksum = *reader.le16(kChecksumOffset);
    const auto tag = *reader.bytes(kTagOffset, kTagSize);
    header.tag.assign(tag.begin(), tag.end());
    header.fileName = *reader.text(kFileNameOffset, kFileNameMaxLength);
    return header;
}

ComponentCheck checkComponent(std::span<const uint8_t> bytes, ComponentHeader* header) {
    if (bytes.size() < kHeaderSize) return ComponentCheck::TooShort;
    const auto decoded = decodeComponentHeader(bytes);
    if (!decoded) return ComponentCheck::BadSignature;
    if (header) *header = *decoded;
    if (decoded->length < kHeaderSize || decoded->length > bytes.size()) return ComponentCheck::BadLength;
    const uint16_t computed = fletcher16(bytes.data() + kHeaderSize, decoded->length - kHeaderSize);
    return computed == decoded->checksum ? ComponentCheck::Ok : ComponentCheck::BadChecksum;
}

std::optional<std::string> versionTextFromFileName(const std::string& fileName) {
    if (fileName.size() >= kFileNameSize) return std::nullopt;
    const size_t dot = fileName.rfind('.');
    const size_t underscore = fileName.rfind('_');
    if (dot == std::string::npos || underscore == std::string::npos || underscore > dot) return std::nullopt;
    return fileName.substr(underscore + 1, dot - underscore - 1);
}

std::vector<uint8_t> encodeComponent(const ComponentHeader& header, std::span<const uint8_t> body) {
    std::vector<uint8_t> out;
    out.reserve(kHeaderSize + body.size());
    ByteWriter writer(out);
    writer.u8(kSignature0);
    writer.u8(kSignature1);
    writer.le32(static_cast<uint32_t>(kHeaderSize + body.size()));
    writer.le32(header.reserved);
    writer.le32(header.flashAddress);
    writer.le16(fletcher16(body.data(), body.size()));
    writer.text(header.tag, kTagSize);
    writer.text(header.fileName.substr(0, kFileNameMaxLength), kFileNameSize);
    writer.fill(0, kHeaderSize - writer.size());
    writer.bytes(body);
    return out;
}

std::optional<std::vector<uint8_t>> buildComponent(const ComponentRecipe& recipe) {
    if (recipe.totalLength < kHeaderSize || recipe.fileName.size() > kFileNameMaxLength) return std::nullopt;
    std::vector<uint8_t> body(recipe.totalLength - kHeaderSize);
    fillPseudoRandom(body, recipe.seed);
    ComponentHeader header;
    header.reserved = recipe.reserved;
    header.flashAddress = recipe.flashAddress;
    header.tag = recipe.tag;
    header.fileName = recipe.fileName;
    return encodeComponent(header, body);
}

}  // namespace veltrion

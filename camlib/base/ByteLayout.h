#pragma once

// Bounds-checked reading and writing of fixed little- and big-endian byte
// layouts. Every fixed record exchanged with the camera or stored in a file is
// read and written through these, never by casting pointers to structs.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace veltrion {

// Reads fields at absolute offsets of a byte span; an access past the end
// yields std::nullopt instead of touching memory outside the span.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t size() const { return bytes_.size(); }
    bool has(size_t offset, size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    std::optional<uint8_t> u8(size_t offset) const {
        if (!has(offset, 1)) return std::nullopt;
        return bytes_[offset];
    }
    std::optional<uint16_t> le16(size_t offset) const { return read<uint16_t>(offset, false); }
    std::optional<uint32_t> le32(size_t offset) const { return read<uint32_t>(offset, false); }
    std::optional<uint16_t> be16(size_t offset) const { return read<uint16_t>(offset, true); }
    std::optional<uint32_t> be32(size_t offset) const { return read<uint32_t>(offset, true); }

    std::optional<std::span<const uint8_t>> bytes(size_t offset, size_t length) const {
        if (!has(offset, length)) return std::nullopt;
        return bytes_.subspan(offset, length);
    }
    // Text of a fixed-size field, ending at its first zero byte.
    std::optional<std::string> text(size_t offset, size_t length) const {
        auto field = bytes(offset, length);
        if (!field) return std::nullopt;
        std::string out;
        for (uint8_t c : *field) {
            if (c == 0) break;
            out.push_back(static_cast<char>(c));
        }
        return out;
    }

private:
    template <typename T>
    std::optional<T> read(size_t offset, bool bigEndian) const {
        if (!has(offset, sizeof(T))) return std::nullopt;
        T value = 0;
        for (size_t i = 0; i < sizeof(T); ++i) {
            const size_t index = bigEndian ? i : sizeof(T) - 1 - i;
            value = static_cast<T>((value << 8) | bytes_[offset + index]);
        }
        return value;
    }

    std::span<const uint8_t> bytes_;
};

// Appends or places fields into a growable byte vector.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}

    void u8(uint8_t value) { out_.push_back(value); }
    void le16(uint16_t value) { put(value, 2, false); }
    void le32(uint32_t value) { put(value, 4, false); }
    void be16(uint16_t value) { put(value, 2, true); }
    void be32(uint32_t value) { put(value, 4, true); }
    void bytes(std::span<const uint8_t> data) { out_.insert(out_.end(), data.begin(), data.end()); }
    // A text in a fixed-size field, zero-padded; longer texts are cut.
    void text(const std::string& value, size_t fieldSize) {
        for (size_t i = 0; i < fieldSize; ++i) out_.push_back(i < value.size() ? static_cast<uint8_t>(value[i]) : 0);
    }
    void fill(uint8_t value, size_t count) { out_.insert(out_.end(), count, value); }
    size_t size() const { return out_.size(); }

    // Overwrites already written bytes; false when the range is not inside.
    bool patchLe32(size_t offset, uint32_t value) { return patch(offset, value, 4, false); }
    bool patchLe16(size_t offset, uint16_t value) { return patch(offset, value, 2, false); }
    bool patchBe32(size_t offset, uint32_t value) { return patch(offset, value, 4, true); }
    bool patchBe16(size_t offset, uint16_t value) { return patch(offset, value, 2, true); }

private:
    void put(uint32_t value, size_t width, bool bigEndian) {
        for (size_t i = 0; i < width; ++i) {
            const size_t shift = bigEndian ? (width - 1 - i) * 8 : i * 8;
            out_.push_back(static_cast<uint8_t>(value >> shift));
        }
    }
    bool patch(size_t offset, uint32_t value, size_t width, bool bigEndian) {
        if (offset > out_.size() || width > out_.size() - offset) return false;
        for (size_t i = 0; i < width; ++i) {
            const size_t shift = bigEndian ? (width - 1 - i) * 8 : i * 8;
            out_[offset + i] = static_cast<uint8_t>(value >> shift);
        }
        return true;
    }

    std::vector<uint8_t>& out_;
};

}  // namespace veltrion

#pragma once

// Shared pieces of the image tests: a scratch folder, generated component
// files, and an image writer of the tests' own that lays bytes down at the
// offsets of the format tables, so a test can set any header field.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace imagetest {

using Bytes = std::vector<uint8_t>;

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

void writeFile(const std::string& path, const Bytes& bytes);
void writeText(const std::string& path, const std::string& text);
Bytes readFile(const std::string& path);

uint32_t le32(const Bytes& bytes, size_t offset);
uint16_t le16(const Bytes& bytes, size_t offset);
void putLe32(Bytes& bytes, size_t offset, uint32_t value);
void putLe16(Bytes& bytes, size_t offset, uint16_t value);

// The eight components of a single image, in body order.
struct Components {
    Bytes fpga, fx3, audio, isp, bootloader, backupFx3, json, aux;
};

// Small valid components: "VM" components at their usual flash addresses
// with version texts F1.2.0.0, A1.3.0.0 and I1.4.0.0; FX3 boot images.
Components makeComponents(const std::string& fx3Version = "C0.1.2.3");

// A single image laid down by hand: header fields at their table offsets,
// MD5 of the body at 56. Lookup tables and alignment blocks are given per
// camera. The header length and count fields follow `serials` unless the
// test overrides them afterwards (then call resealMd5 if the body changed).
struct HandImage {
    uint32_t fx3Version = 0x43000000;
    uint32_t backupFx3Version = 0;
    uint32_t bootloaderVersion = 0;
    std::vector<std::string> serials;
    std::vector<Bytes> luts;                            // 98304 bytes each
    std::vector<std::array<uint16_t, 5>> alignments;    // one per camera
};
Bytes buildSingleImage(const Components& components, const HandImage& image = {});
// Recomputes the MD5 field over everything after the header length field's value.
void resealMd5(Bytes& image);

// A unified package laid down by hand from its images and JSON.
struct HandEntry {
    uint16_t vendorId, productId;
};
Bytes buildUnifiedPackage(const std::vector<Bytes>& images, const std::vector<HandEntry>& entries,
                          const Bytes& json);

// A lookup-table directory of 24 files whose entry e holds (seed + e) & 0xFFFF.
void writeLutDirectory(const std::string& directory, uint16_t seed);
// The 98304 bytes such a directory loads to.
Bytes expectedLut(uint16_t seed);

}  // namespace imagetest

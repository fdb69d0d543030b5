#include "ImageTestSupport.h"

#include <openssl/evp.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "format/ComponentHeader.h"
#include "format/Fx3BootImage.h"

namespace imagetest {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "images-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void writeText(const std::string& path, const std::string& text) { writeFile(path, Bytes(text.begin(), text.end())); }

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t le32(const Bytes& b, size_t at) {
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | static_cast<uint32_t>(b.at(at + 3)) << 24;
}
uint16_t le16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8); }
void putLe32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}
void putLe16(Bytes& b, size_t at, uint16_t v) {
    b.at(at) = static_cast<uint8_t>(v);
    b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}

namespace {

Bytes vmComponent(const std::string& name, uint32_t address, size_t size, uint64_t seed) {
    veltrion::ComponentRecipe recipe;
    recipe.fileName = name;
    recipe.flashAddress = address;
    recipe.totalLength = size;
    recipe.tag = "TAG123";
    recipe.seed = seed;
    return *veltrion::buildComponent(recipe);
}

Bytes fx3Image(const std::string& version, size_t size, uint64_t seed) {
    veltrion::Fx3ImageRecipe recipe;
    recipe.versionText = version;
    recipe.imageSize = size;
    recipe.seed = seed;
    return *veltrion::buildFx3BootImage(recipe);
}

Bytes md5(const uint8_t* data, size_t length) {
    Bytes digest(16);
    size_t digestLength = 0;
    if (!EVP_Q_digest(nullptr, "MD5", nullptr, data, length, digest.data(), &digestLength))
        throw std::runtime_error("MD5 failed");
    return digest;
}

}  // namespace

Components makeComponents(const std::string& fx3Version) {
    Components c;
    c.fpga = vmComponent("fpga_F1.2.0.0.bin", 0x110000, 64 * 1024 + 300, 1);
    c.fx3 = fx3Image(fx3Version, 16 * 1024, 2);
    c.audio = vmComponent("audio_A1.3.0.0.bin", 0x0E0000, 20 * 1024, 3);
    c.isp = vmComponent("isp_I1.4.0.0.bin", 0x0D0000, 24 * 1024, 4);
    c.bootloader = fx3Image(fx3Version, 8 * 1024, 5);
    c.backupFx3 = fx3Image(fx3Version, 12 * 1024, 6);
    const std::string json = R"({"MemoryLayout":{},"Features":[]})";
    c.json.assign(json.begin(), json.end());
    c.aux = Bytes(100, 0xA5);
    return c;
}

Bytes buildSingleImage(const Components& c, const HandImage& image) {
    const size_t n = image.serials.size();
    const size_t headerLength = 76 + 12 * n;
    Bytes file(headerLength, 0);
    file[0] = 'V', file[1] = 'L', file[2] = 'T', file[3] = 'N';
    putLe16(file, 4, 3);
    putLe16(file, 6, 0);
    putLe32(file, 8, image.fx3Version);
    putLe32(file, 12, image.backupFx3Version);
    putLe32(file, 16, image.bootloaderVersion);
    putLe32(file, 20, static_cast<uint32_t>(headerLength));
    const Bytes* parts[] = {&c.fpga, &c.fx3, &c.audio, &c.isp, &c.bootloader, &c.backupFx3, &c.json, &c.aux};
    for (size_t i = 0; i < 8; ++i) putLe32(file, 24 + 4 * i, static_cast<uint32_t>(parts[i]->size()));
    putLe32(file, 72, static_cast<uint32_t>(n));
    for (size_t i = 0; i < n; ++i) {
        for (size_t k = 0; k < 12; ++k) file[76 + 12 * i + k] = static_cast<uint8_t>(image.serials[i].at(k));
    }
    for (const Bytes* part : parts) file.insert(file.end(), part->begin(), part->end());
    for (size_t i = 0; i < n; ++i) file.insert(file.end(), image.luts.at(i).begin(), image.luts.at(i).end());
    for (size_t i = 0; i < n; ++i) {
        for (uint16_t value : image.alignments.at(i)) {
            file.push_back(static_cast<uint8_t>(value));
            file.push_back(static_cast<uint8_t>(value >> 8));
        }
    }
    resealMd5(file);
    return file;
}

void resealMd5(Bytes& image) {
    const size_t headerLength = std::min<size_t>(le32(image, 20), image.size());
    const Bytes digest = md5(image.data() + headerLength, image.size() - headerLength);
    std::copy(digest.begin(), digest.end(), image.begin() + 56);
}

Bytes buildUnifiedPackage(const std::vector<Bytes>& images, const std::vector<HandEntry>& entries,
                          const Bytes& json) {
    const size_t m = images.size();
    Bytes file(24 + 12 * m, 0);
    file[0] = 'V', file[1] = 'U', file[2] = 'N', file[3] = 'I';
    putLe16(file, 4, 2);
    putLe32(file, 8, static_cast<uint32_t>(file.size()));
    putLe32(file, 16, static_cast<uint32_t>(json.size()));
    putLe32(file, 20, static_cast<uint32_t>(m));
    uint32_t offset = 0;
    for (size_t i = 0; i < m; ++i) {
        putLe16(file, 24 + 12 * i, entries.at(i).vendorId);
        putLe16(file, 26 + 12 * i, entries.at(i).productId);
        putLe32(file, 28 + 12 * i, offset);
        putLe32(file, 32 + 12 * i, static_cast<uint32_t>(images[i].size()));
        offset += static_cast<uint32_t>(images[i].size());
    }
    putLe32(file, 12, offset);
    for (const Bytes& image : images) file.insert(file.end(), image.begin(), image.end());
    file.insert(file.end(), json.begin(), json.end());
    return file;
}

void writeLutDirectory(const std::string& directory, uint16_t seed) {
    std::filesystem::create_directories(directory);
    unsigned entry = 0;
    for (const char* index : {"0", "1", "2"}) {
        for (const char* axis : {"x", "y"}) {
            for (const char* quadrant : {"00", "01", "10", "11"}) {
                std::string text;
                for (int line = 0; line < 2048; ++line, ++entry) {
                    char number[16];
                    std::snprintf(number, sizeof number, "%x\n", static_cast<unsigned>((seed + entry) & 0xFFFF));
                    text += number;
                }
                writeText(directory + "/surface_" + axis + "_LUT_" + quadrant + "_" + index + ".load", text);
            }
        }
    }
}

Bytes expectedLut(uint16_t seed) {
    Bytes table(98304);
    for (size_t e = 0; e < 49152; ++e) {
        const auto value = static_cast<uint16_t>(seed + e);
        table[2 * e] = static_cast<uint8_t>(value);
        table[2 * e + 1] = static_cast<uint8_t>(value >> 8);
    }
    return table;
}

}  // namespace imagetest

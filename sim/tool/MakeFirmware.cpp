#include "MakeFirmware.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "Factory.h"
#include "FeatureJson.h"
#include "LookupTable.h"
#include "SimError.h"
#include "device/CameraIdentity.h"
#include "format/FlashMap.h"
#include "format/PseudoRandomFill.h"
#include "base/VersionNumber.h"

namespace camsim {

namespace {

namespace fs = std::filesystem;

// Default versions: one release after the factory firmware (".1.0.0"), so an
// image built from them updates a factory-fresh camera.
constexpr const char* kDefaultTail = ".2.0.0";
constexpr const char* kDefaultFpga = "F1.2.0.0";
constexpr const char* kDefaultAudio = "A1.2.0.0";
constexpr const char* kDefaultIsp = "I1.2.0.0";
constexpr size_t kAuxBlobSize = 1024;
constexpr size_t kSerialLength = 12;
constexpr size_t kLutTables = 24;
constexpr size_t kLutTableEntries = 2048;
constexpr size_t kAlignmentValues = 5;

struct Options {
    std::string group;
    std::string outDir;
    std::map<std::string, std::string> versions;  // option name -> version text
    std::map<std::string, size_t> sizes;          // option name -> component size
    std::vector<std::string> lutSerials;

    size_t size(const std::string& option, size_t fallback) const {
        const auto found = sizes.find(option);
        return found == sizes.end() ? fallback : found->second;
    }
};

constexpr const char* kVersionOptions[] = {"--fx3", "--fpga", "--audio", "--isp", "--bootloader", "--backup-fx3"};

// Component sizes: at most what the component's flash space holds. Small
// components keep a test's update (and its recording) small; the boot images'
// lower bound is their builder's.
struct SizeOption {
    const char* name;
    size_t largest;
};
constexpr SizeOption kSizeOptions[] = {
    {"--fpga-size", veltrion::flashmap::kFpgaRegionSize},
    {"--fx3-size", veltrion::flashmap::kFx3RegionSize},
    {"--bootloader-size", veltrion::flashmap::kBootLoaderRegionSize},
    {"--backup-fx3-size", veltrion::flashmap::kBackupFx3RegionSize},
    {"--isp-size", veltrion::flashmap::kAudioAddressAfterLongIsp - veltrion::flashmap::kIspAddress},
    {"--audio-size", veltrion::flashmap::kSector64K},
};
constexpr size_t kSmallestComponent = 256;

const SizeOption* findSizeOption(const std::string& option) {
    for (const SizeOption& size : kSizeOptions)
        if (option == size.name) return &size;
    return nullptr;
}

Options parseOptions(const std::vector<std::string>& args) {
    Options options;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (i + 1 >= args.size()) throw SimError(option + " needs a value");
        const std::string& value = args[++i];
        if (option == "--group") {
            options.group = value;
        } else if (option == "--out") {
            options.outDir = value;
        } else if (const SizeOption* sizeOption = findSizeOption(option)) {
            char* end = nullptr;
            const unsigned long long size = std::strtoull(value.c_str(), &end, 0);
            if (end == value.c_str() || *end != '\0' || value[0] == '-' || size < kSmallestComponent ||
                size > sizeOption->largest)
                throw SimError("bad " + option + " '" + value + "' (" + std::to_string(kSmallestComponent) + " to " +
                               std::to_string(sizeOption->largest) + " bytes)");
            options.sizes[option] = static_cast<size_t>(size);
        } else if (option == "--lut") {
            if (value.size() != kSerialLength) throw SimError("bad serial '" + value + "' (12 characters)");
            options.lutSerials.push_back(value);
        } else if (std::find(std::begin(kVersionOptions), std::end(kVersionOptions), option) !=
                   std::end(kVersionOptions)) {
            uint32_t packed = 0;
            if (veltrion::parseVersionText(value, packed) != veltrion::VersionParse::Ok)
                throw SimError("bad version '" + value + "' for " + option + " (like C0.1.2.3)");
            options.versions[option] = value;
        } else {
            throw SimError("unknown option '" + option + "' for make-firmware");
        }
    }
    if (options.group.empty() || options.outDir.empty()) throw SimError("make-firmware needs --group and --out");
    return options;
}

// The version code of the first identity of the group.
std::string groupVersionCode(const std::string& group) {
    for (const veltrion::CameraIdentity& identity : veltrion::cameraIdentities())
        if (group == identity.firmwareGroup) return identity.versionCode;
    throw SimError("unknown firmware group '" + group + "' (V2G, V2sG or V3G)");
}

std::string versionOf(const Options& options, const std::string& option, const std::string& fallback) {
    const auto found = options.versions.find(option);
    return found == options.versions.end() ? fallback : found->second;
}

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw SimError("cannot write " + path.string());
}

void writeText(const fs::path& path, const std::string& text) {
    writeBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// Pseudo-random 16-bit values, the same for the same serial and purpose.
std::vector<uint16_t> tableValues(const std::string& seedText, size_t count) {
    std::vector<uint8_t> bytes(count * 2);
    veltrion::fillPseudoRandom(bytes, veltrion::seedFromText(seedText));
    std::vector<uint16_t> values(count);
    for (size_t i = 0; i < count; ++i) values[i] = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return values;
}

std::string hexLines(const std::vector<uint16_t>& values, size_t first, size_t count) {
    std::string text;
    char line[8];
    for (size_t i = first; i < first + count; ++i) {
        std::snprintf(line, sizeof line, "%04x\n", values[i]);
        text += line;
    }
    return text;
}

// A lookup-table directory of 24 tables, named and ordered as the loader
// expects them, and a five-line alignment file.
void writeLutSet(const fs::path& outDir, const std::string& serial, std::vector<std::string>& arguments) {
    const fs::path lutDir = outDir / ("lut_" + serial);
    fs::create_directories(lutDir);
    // The table production measured for that unit, as its flash holds it.
    const std::vector<uint16_t> table = makeLookupTable(serial);
    size_t number = 0;
    for (const char* index : {"0", "1", "2"}) {
        for (const char* axis : {"x", "y"}) {
            for (const char* quadrant : {"00", "01", "10", "11"}) {
                const std::string name = std::string("surface_") + axis + "_LUT_" + quadrant + "_" + index + ".load";
                writeText(lutDir / name, hexLines(table, number++ * kLutTableEntries, kLutTableEntries));
            }
        }
    }
    const fs::path alignment = outDir / ("alignment_" + serial + ".txt");
    writeText(alignment, hexLines(tableValues("alignment:" + serial, kAlignmentValues), 0, kAlignmentValues));
    arguments.insert(arguments.end(), {lutDir.string(), alignment.string(), serial});
}

}  // namespace

void makeFirmware(const std::vector<std::string>& args, std::ostream& out) {
    const Options options = parseOptions(args);
    const std::string code = groupVersionCode(options.group);
    const std::string fx3Version = versionOf(options, "--fx3", code + kDefaultTail);
    if (veltrion::getFwGroupFromFx3VerStr(fx3Version) != options.group)
        throw SimError("fx3 version '" + fx3Version + "' does not belong to group " + options.group);
    const std::string bootVersion = versionOf(options, "--bootloader", code + kDefaultTail);
    const std::string backupVersion = versionOf(options, "--backup-fx3", code + kDefaultTail);
    const std::string fpgaVersion = versionOf(options, "--fpga", kDefaultFpga);
    const std::string audioVersion = versionOf(options, "--audio", kDefaultAudio);
    const std::string ispVersion = versionOf(options, "--isp", kDefaultIsp);

    const fs::path dir = options.outDir;
    std::error_code error;
    fs::create_directories(dir, error);
    if (error) throw SimError("cannot create " + dir.string() + ": " + error.message());

    struct File {
        std::string name;
        std::vector<uint8_t> bytes;
    };
    const std::vector<uint8_t> isp = makeIspComponent(ispVersion, options.size("--isp-size", kFactoryIspSize));
    std::vector<uint8_t> aux(kAuxBlobSize);
    veltrion::fillPseudoRandom(aux, veltrion::seedFromText("aux:" + fx3Version));
    const std::string_view json = featureJsonForGroup(options.group);
    // In the order the -c action takes them.
    const File files[] = {
        {"fpga_" + fpgaVersion + ".bin", makeFpgaComponent(fpgaVersion, options.size("--fpga-size", kFactoryFpgaSize))},
        {"fx3_" + fx3Version + ".img", makeFx3Firmware(fx3Version, options.size("--fx3-size", kFactoryFx3Size))},
        {"audio_" + audioVersion + ".bin",
         makeAudioComponent(audioVersion, isp.size(), options.size("--audio-size", kFactoryAudioSize))},
        {"isp_" + ispVersion + ".bin", isp},
        {"bootloader_" + bootVersion + ".img",
         makeBootLoader(bootVersion, options.size("--bootloader-size", kFactoryBootLoaderSize))},
        {"backup-fx3_" + backupVersion + ".img",
         makeBackupFx3Firmware(backupVersion, options.size("--backup-fx3-size", kFactoryBackupFx3Size))},
        {"features.json", std::vector<uint8_t>(json.begin(), json.end())},
        {"aux.bin", aux},
    };
    std::vector<std::string> arguments;
    for (const File& file : files) {
        writeBytes(dir / file.name, file.bytes);
        arguments.push_back((dir / file.name).string());
    }
    for (const std::string& serial : options.lutSerials) writeLutSet(dir, serial, arguments);

    std::string line;
    for (const std::string& argument : arguments) line += (line.empty() ? "" : " ") + argument;
    out << line << '\n';
}

}  // namespace camsim

// Builds a single image around a 6 MiB FPGA component, reads and parses it,
// and times both next to md5sum over the same file: parsing is one read, one
// MD5 pass and one copy of each component, so it should stay within a small
// factor of md5sum.


#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "format/ComponentHeader.h"
#include "format/FlashMap.h"
#include "format/Fx3BootImage.h"
#include "image/ImageCreation.h"
#include "image/ImageFiles.h"
#include "base/Logger.h"
#include "image/LutFiles.h"
#include "image/UpdateImage.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 5;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> vmComponent(const std::string& name, uint32_t address, size_t size) {
    veltrion::ComponentRecipe recipe;
    recipe.fileName = name;
    recipe.flashAddress = address;
    recipe.totalLength = size;
    recipe.seed = size;
    return *veltrion::buildComponent(recipe);
}

std::vector<uint8_t> fx3Image(size_t size) {
    veltrion::Fx3ImageRecipe recipe;
    recipe.versionText = "C0.1.0.0";
    recipe.imageSize = size;
    recipe.seed = size;
    return *veltrion::buildFx3BootImage(recipe);
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "image-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    const fs::path dir = pattern;
    veltrion::Logger logger(veltrion::kLogError);

    const std::vector<std::string> args = {
        (dir / "fpga_F1.1.0.0.bin").string(), (dir / "fx3_C0.1.0.0.img").string(),
        (dir / "audio_A1.1.0.0.bin").string(), (dir / "isp_I1.1.0.0.bin").string(),
        (dir / "boot_C0.1.0.0.img").string(),  (dir / "fx3b_C0.1.0.0.img").string(),
        (dir / "features.json").string(),      (dir / "aux.bin").string(),
        (dir / "camera.img").string()};
    writeFile(args[0], vmComponent("fpga_F1.1.0.0.bin", veltrion::flashmap::kFpgaAddress,
                                   veltrion::flashmap::kFpgaRegionSize));
    writeFile(args[1], fx3Image(148 * 1024));
    writeFile(args[2], vmComponent("audio_A1.1.0.0.bin", veltrion::flashmap::kAudioAddress, 40 * 1024));
    writeFile(args[3], vmComponent("isp_I1.1.0.0.bin", veltrion::flashmap::kIspAddress, 48 * 1024));
    writeFile(args[4], fx3Image(20 * 1024));
    writeFile(args[5], fx3Image(120 * 1024));
    std::vector<uint8_t> json(4096, ' ');  // an empty object padded to 4 KiB: the parser checks it is JSON
    json.front() = '{';
    json.back() = '}';
    writeFile(args[6], json);
    writeFile(args[7], std::vector<uint8_t>(1024, 0x5A));

    std::vector<uint8_t> lutBuffer(veltrion::lut::kBufferSize);
    auto start = Clock::now();
    if (!veltrion::images::createSingleImage(args, lutBuffer, logger)) return 1;
    const double createMs = millisecondsSince(start);

    double parseMs = 0;
    for (int round = 0; round < kRounds; ++round) {
        start = Clock::now();
        std::vector<uint8_t> file;
        veltrion::UpdatePackage package;
        if (!veltrion::images::openAndReadFile(args.back(), file, logger) ||
            !veltrion::images::parseUpdatePackage(file, package, logger))
            return 1;
        parseMs += millisecondsSince(start);
    }

    double md5sumMs = 0;
    const std::string command = "md5sum '" + args.back() + "' > /dev/null";
    for (int round = 0; round < kRounds; ++round) {
        start = Clock::now();
        const int status = std::system(command.c_str());
        md5sumMs += millisecondsSince(start);
        if (status != 0) {
            std::fprintf(stderr, "md5sum failed\n");
            return 1;
        }
    }

    std::printf("image size:          %ju bytes\n", static_cast<uintmax_t>(fs::file_size(args.back())));
    std::printf("create single image: %8.2f ms\n", createMs);
    std::printf("read + parse:        %8.2f ms (mean of %d)\n", parseMs / kRounds, kRounds);
    std::printf("md5sum:              %8.2f ms (mean of %d, process start included)\n", md5sumMs / kRounds,
                kRounds);
    fs::remove_all(dir);
    return 0;
}

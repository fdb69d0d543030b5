// Builds single images around FPGA components of several sizes (up to the
// 6 MiB region), reads and parses each, and sets the figures beside md5sum
// over the same file: parsing is one read, one MD5 pass and one copy of each
// component, so it should stay within a small factor of md5sum, and our MD5
// alone should be about as fast as md5sum's. The peak resident memory of a
// parse is measured in a fresh child process per image, so the peaks of the
// images do not mix: one read buffer and one copy of the components, about
// twice the image size.
//
// Usage: bench_images            (the child: bench_images --peak FILE)

#include <algorithm>
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
constexpr size_t kKiB = 1024;
// FPGA component sizes: a small image, a typical one, the largest.
constexpr size_t kFpgaSizes[] = {256 * kKiB, 2048 * kKiB, veltrion::flashmap::kFpgaRegionSize};

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

// The high-water mark of this process's resident memory, in KiB.
long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// The child's work: read and parse one image, print the peak before and after.
int measurePeak(const std::string& file) {
    veltrion::Logger logger(veltrion::kLogError);
    const long before = peakResidentKiB();
    {
        std::vector<uint8_t> bytes;
        veltrion::UpdatePackage package;
        if (!veltrion::images::openAndReadFile(file, bytes, logger) ||
            !veltrion::images::parseUpdatePackage(bytes, package, logger))
            return 1;
    }
    std::printf("%ld %ld\n", before, peakResidentKiB());
    return 0;
}

// Runs this program again as "--peak FILE"; the growth of its peak in KiB.
long childPeakGrowthKiB(const std::string& file) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string command = "'" + self + "' --peak '" + file + "'";
    FILE* child = popen(command.c_str(), "r");
    if (!child) return -1;
    long before = -1, after = -1;
    const int fields = std::fscanf(child, "%ld %ld", &before, &after);
    if (pclose(child) != 0 || fields != 2) return -1;
    return after - before;
}

template <typename Work>
double bestMilliseconds(Work work) {
    double best = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = Clock::now();
        if (!work()) return -1;
        best = std::min(best, millisecondsSince(start));
    }
    return best;
}

struct Figures {
    uintmax_t size = 0;
    double createMs = 0, parseMs = 0, md5Ms = 0, md5sumMs = 0, md5sumStartMs = 0;
    long peakKiB = 0;
};

// Builds one image around an FPGA component of fpgaSize bytes in dir and
// measures it; false when a step fails.
bool measureImage(const std::filesystem::path& dir, size_t fpgaSize, Figures& out) {
    veltrion::Logger logger(veltrion::kLogError);
    const std::vector<std::string> args = {
        (dir / "fpga_F1.1.0.0.bin").string(), (dir / "fx3_C0.1.0.0.img").string(),
        (dir / "audio_A1.1.0.0.bin").string(), (dir / "isp_I1.1.0.0.bin").string(),
        (dir / "boot_C0.1.0.0.img").string(),  (dir / "fx3b_C0.1.0.0.img").string(),
        (dir / "features.json").string(),      (dir / "aux.bin").string(),
        (dir / "camera.img").string()};
    writeFile(args[0], vmComponent("fpga_F1.1.0.0.bin", veltrion::flashmap::kFpgaAddress, fpgaSize));
    writeFile(args[1], fx3Image(148 * kKiB));
    writeFile(args[2], vmComponent("audio_A1.1.0.0.bin", veltrion::flashmap::kAudioAddress, 40 * kKiB));
    writeFile(args[3], vmComponent("isp_I1.1.0.0.bin", veltrion::flashmap::kIspAddress, 48 * kKiB));
    writeFile(args[4], fx3Image(20 * kKiB));
    writeFile(args[5], fx3Image(120 * kKiB));
    std::vector<uint8_t> json(4096, ' ');  // an empty object padded to 4 KiB: the parser checks it is JSON
    json.front() = '{';
    json.back() = '}';
    writeFile(args[6], json);
    writeFile(args[7], std::vector<uint8_t>(1024, 0x5A));

    std::vector<uint8_t> lutBuffer(veltrion::lut::kBufferSize);
    auto start = Clock::now();
    if (!veltrion::images::createSingleImage(args, lutBuffer, logger)) return false;
    out.createMs = millisecondsSince(start);
    const std::string& image = args.back();
    out.size = std::filesystem::file_size(image);

    out.parseMs = bestMilliseconds([&] {
        std::vector<uint8_t> file;
        veltrion::UpdatePackage package;
        return veltrion::images::openAndReadFile(image, file, logger) &&
               veltrion::images::parseUpdatePackage(file, package, logger);
    });
    // Our MD5 over the same bytes, the file already read: md5sum's reading
    // comes from the page cache too.
    std::vector<uint8_t> file;
    if (!veltrion::images::openAndReadFile(image, file, logger)) return false;
    out.md5Ms = bestMilliseconds([&] { return veltrion::images::getMD5Hash(file, logger).has_value(); });
    const std::string command = "md5sum '" + image + "' > /dev/null";
    out.md5sumMs = bestMilliseconds([&] { return std::system(command.c_str()) == 0; });
    // md5sum of an empty file: its process start, taken off for the net ratio.
    out.md5sumStartMs = bestMilliseconds([&] { return std::system("md5sum /dev/null > /dev/null") == 0; });
    out.peakKiB = childPeakGrowthKiB(image);
    return out.parseMs >= 0 && out.md5sumMs >= 0 && out.peakKiB >= 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--peak") return measurePeak(argv[2]);
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "image-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    const fs::path dir = pattern;

    std::printf("best of %d runs; md5sum includes its process start (net: without it); peak = growth of VmHWM "
                "in a child\n",
                kRounds);
    std::printf("%12s %10s %10s %9s %10s %9s %9s %11s %10s\n", "image bytes", "create ms", "parse ms", "md5 ms",
                "md5sum ms", "md5/sum", "md5/net", "parse/sum", "peak/size");
    for (size_t fpgaSize : kFpgaSizes) {
        Figures f;
        if (!measureImage(dir, fpgaSize, f)) {
            std::fprintf(stderr, "bench_images: measuring the image with a %zu-byte FPGA component failed\n",
                         fpgaSize);
            fs::remove_all(dir);
            return 1;
        }
        // On a small file md5sum's hashing can vanish in the noise of its start.
        const double net = f.md5sumMs - f.md5sumStartMs;
        const std::string netRatio = net > 0 ? std::to_string(f.md5Ms / net).substr(0, 4) : "n/a";
        std::printf("%12ju %10.2f %10.2f %9.2f %10.2f %9.2f %9s %11.2f %10.2f\n", f.size, f.createMs, f.parseMs,
                    f.md5Ms, f.md5sumMs, f.md5Ms / f.md5sumMs, netRatio.c_str(), f.parseMs / f.md5sumMs,
                    static_cast<double>(f.peakKiB) * kKiB / static_cast<double>(f.size));
    }
    fs::remove_all(dir);
    return 0;
}

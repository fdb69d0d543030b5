// fuzz_seeds DIR: writes the seed inputs that come from the library's and the
// simulated camera's own encoders into DIR/<target>/, and small component
// files into DIR/small-parts/ for an image built with the console tool's -c
// (small, so the image targets run many inputs a second).

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Camera.h"
#include "ConfigDescriptor.h"
#include "base/ByteLayout.h"
#include "device/CameraIdentity.h"
#include "device/VendorRequests.h"
#include "format/ComponentHeader.h"
#include "format/FlashMap.h"
#include "format/Fx3BootImage.h"
#include "format/MonitorRecords.h"
#include "format/SelfTestBlock.h"

namespace {

namespace fs = std::filesystem;
using namespace veltrion;
using Bytes = std::vector<uint8_t>;

constexpr size_t kSmallVmSize = 512;
constexpr size_t kSmallFx3Size = 1024;
constexpr uint8_t kDeviceDescriptorSize = 18;

void write(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

Bytes vmComponent(const std::string& name, uint32_t address) {
    return *buildComponent({name, address, kSmallVmSize, "seed", 0, name.size()});
}

Bytes fx3Image(const std::string& version) {
    return *buildFx3BootImage({version, kSmallFx3Size, version.size()});
}

// Four entries as a camera answers them: index, valid flag, packed version, text.
Bytes versionBlock() {
    const char* texts[] = {"C0.2.0.0", "F1.2.0.0", "A1.2.0.0", "I1.2.0.0"};
    Bytes block(vreq::kVersionBlockSize, 0);
    for (size_t k = 0; k < 4; ++k) {
        const size_t base = k * vreq::kVersionEntrySize;
        block[base] = static_cast<uint8_t>(k);
        block[base + 1] = 1;
        for (size_t i = 0; texts[k][i] != 0; ++i) block[base + vreq::kVersionTextOffset + i] = static_cast<uint8_t>(texts[k][i]);
    }
    return block;
}

// Two faces in slots 0 and 3, every other slot erased.
Bytes faceBlock() {
    Bytes block(kFaceBlockSize, 0xFF);
    block[0] = kRecordPresent;
    const uint16_t boxes[2][4] = {{100, 50, 300, 250}, {400, 60, 490, 200}};
    const size_t slots[2] = {0, 3};
    const size_t arrays[4] = {5, 37, 69, 101};
    for (size_t f = 0; f < 2; ++f)
        for (size_t a = 0; a < 4; ++a) {
            block[arrays[a] + 2 * slots[f]] = static_cast<uint8_t>(boxes[f][a]);
            block[arrays[a] + 2 * slots[f] + 1] = static_cast<uint8_t>(boxes[f][a] >> 8);
        }
    return block;
}

Bytes deviceDescriptor() {
    Bytes out;
    ByteWriter writer(out);
    writer.u8(kDeviceDescriptorSize);
    writer.u8(1);  // device descriptor
    writer.le16(0x0200);
    for (uint8_t b : {0xEF, 0x02, 0x01, 64}) writer.u8(b);
    writer.le16(kCameraVendorId);
    writer.le16(0x0002);
    writer.le16(0x0100);
    for (uint8_t b : {1, 2, 3, 1}) writer.u8(b);
    return out;
}

void writeSeeds(const fs::path& dir) {
    const Bytes vc = camsim::Camera::videoControlDescriptors();
    write(dir / "vc_descriptors" / "vc-block", vc);
    Bytes full = deviceDescriptor();
    const Bytes config = realports::cameraConfiguration(false, true);
    full.insert(full.end(), config.begin(), config.end());
    write(dir / "vc_descriptors" / "device-usb2-audio", full);
    write(dir / "vc_descriptors" / "config-usb3", realports::cameraConfiguration(true, false));

    SelfTestBlock selfTest{};
    for (size_t i = 0; i < selfTest.size(); ++i) selfTest[i] = {static_cast<uint16_t>(0x0100 + i), 0};
    selfTest[selftest::kIsp1].status = 5;
    write(dir / "device_blocks" / "self-test", encodeSelfTestBlock(selfTest));
    write(dir / "device_blocks" / "versions", versionBlock());
    write(dir / "device_blocks" / "roi", {kRecordPresent, 0xF4, 0x01, 0x78, 0x05});
    write(dir / "device_blocks" / "faces", faceBlock());
    write(dir / "device_blocks" / "vm-component", vmComponent("isp_I1.2.0.0.bin", flashmap::kIspAddress));
    Bytes region = fx3Image("C0.2.0.0");
    region.resize(region.size() + 64, flashmap::kErasedByte);
    write(dir / "device_blocks" / "boot-region", region);

    const fs::path parts = dir / "small-parts";
    write(parts / "fpga_F1.2.0.0.bin", vmComponent("fpga_F1.2.0.0.bin", flashmap::kFpgaAddress));
    write(parts / "fx3_C0.2.0.0.img", fx3Image("C0.2.0.0"));
    write(parts / "audio_A1.2.0.0.bin", vmComponent("audio_A1.2.0.0.bin", flashmap::kAudioAddress));
    write(parts / "isp_I1.2.0.0.bin", vmComponent("isp_I1.2.0.0.bin", flashmap::kIspAddress));
    write(parts / "bootloader_C0.2.0.0.img", fx3Image("C0.2.0.0"));
    write(parts / "backup-fx3_C0.2.0.0.img", fx3Image("C0.2.0.0"));
    write(parts / "aux.bin", Bytes(16, 0x5A));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    try {
        writeSeeds(argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "fuzz_seeds: %s\n", error.what());
        return 1;
    }
    return 0;
}

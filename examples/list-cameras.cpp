// Lists the attached cameras with their identity and firmware versions, as a
// program outside the suite does it with the installed camera library. With
// VELTRION_SIM set to a simulated bus it lists that bus's cameras instead.
//
// Build it with pkg-config:
//   c++ -std=c++20 list-cameras.cpp $(pkg-config --cflags --libs veltrion-camera)
// or with CMake: find_package(VeltrionCamera) and link Veltrion::Camera
// (CMakeLists.txt beside this file).
//
// Exit status: 0 when every camera answered, 1 otherwise (also when none is
// attached).

#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include <manager/Veltrion2CamMgr.h>

namespace {

void printVersion(const char* component, uint32_t version) {
    const std::string text = veltrion::Veltrion2CamMgr::versionToString(version);
    std::printf("  %-6s 0x%08x  %s\n", component, version, text.empty() ? "(not read)" : text.c_str());
}

}  // namespace

int main() {
    try {
        // The vendor channel: the camera's USB controller, as the console tool
        // uses by default. The library logs its own failures on stderr.
        veltrion::Veltrion2CamMgr manager(true);

        std::vector<std::string> paths;
        if (!manager.getCameraList(paths)) {
            std::printf("no camera found\n");
            return 1;
        }
        std::printf("%zu camera(s)\n", paths.size());

        int failures = 0;
        for (size_t number = 0; number < paths.size(); ++number) {
            std::printf("camera %zu: %s\n", number, paths[number].c_str());
            veltrion::CameraInfo info;
            if (!manager.getVeltrion2Info(info, paths[number])) {
                std::printf("  no answer\n");
                ++failures;
                continue;
            }
            std::printf("  serial %s, id %04x:%04x, %s\n", info.serialNumber.c_str(), info.vendorId,
                        info.productId, info.systemReady ? "running" : "not ready");
            printVersion("FPGA", info.fpgaVersion);
            printVersion("FX3", info.fx3Version);
            printVersion("audio", info.audioVersion);
            printVersion("ISP", info.ispVersion);
        }
        return failures == 0 ? 0 : 1;
    } catch (const std::exception& error) {
        // The manager throws when no device object can be made.
        std::fprintf(stderr, "veltrion-list-cameras: %s\n", error.what());
        return 1;
    }
}

// Per-call cost of one extension-unit query on the real video path: a
// UVCIOC_CTRL_QUERY GET_CUR of the flash-status control on the capture node,
// answered through the umockdev bridge by one simulated camera with the zero
// timing model. Each column is one way of making the same call; prints
// figures, asserts nothing.
//
// Usage: bench_uvc_property [calls per column]

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Bus.h"
#include "Preload.h"
#include "UsbBridge.h"
#include "device/uvc/ExtensionUnitControls.h"
#include "device/uvc/V4l2VideoPort.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
using veltrion::VideoSource;

constexpr int kDefaultCalls = 2000;
constexpr uint16_t kV3VideoAudio = 0x0003;
constexpr uint16_t kStatusSize = 1;
const std::string kSerial = "A1B2C3D4E5F6";

// One way of making the call; returns 0 or a negative errno.
struct Column {
    const char* name;
    std::function<int()> call;
};

// Microseconds per call, or a negative number when one failed.
double microsecondsPerCall(const std::function<int()>& call, int count) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i)
        if (call() != 0) return -1;
    const std::chrono::duration<double, std::micro> elapsed = Clock::now() - start;
    return elapsed.count() / count;
}

// The bridged nodes need the preload; the benchmark starts itself again under it.
void ensurePreload(char** argv) {
    if (veltrion::realports::preloadActive()) return;
    ::setenv("LD_PRELOAD", veltrion::realports::kPreloadLibrary, 1);
    ::execv("/proc/self/exe", argv);
    std::perror("bench_uvc_property: cannot start again under the preload");
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    ensurePreload(argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultCalls;

    TempDir dir("uvc-property-bench");
    camsim::Bus bus(dir.path());
    bus.add("cam0", kV3VideoAudio, kSerial, false);
    veltrion::realports::UsbBridge bridge(dir.path());
    const auto device = bridge.device("cam0");
    if (!device || device->videoLink.empty()) {
        std::fprintf(stderr, "bench_uvc_property: the camera has no capture node on the bridged bus\n");
        return 1;
    }

    veltrion::V4l2VideoPort port;
    std::shared_ptr<VideoSource> source;
    uint8_t unitId = 0;
    if (port.openSource(device->videoLink, source) != 0 ||
        source->findExtensionUnit(veltrion::kVeltrionExtensionUnitGuid, unitId) != 0) {
        std::fprintf(stderr, "bench_uvc_property: cannot open the camera's extension unit\n");
        return 1;
    }

    const std::vector<Column> columns{
        {"ioctl on the node",
         [&] {
             uint8_t status = 0;
             return source->queryExtensionUnit(unitId, veltrion::xu::kGetSpiRead, veltrion::XuQuery::GetCur, &status,
                                               kStatusSize);
         }},
    };

    std::printf("GET_CUR of selector %u, %u byte, %d calls per column; microseconds per call\n",
                veltrion::xu::kGetSpiRead, kStatusSize, count);
    for (const Column& column : columns) {
        const double perCall = microsecondsPerCall(column.call, count);
        if (perCall < 0)
            std::printf("%-30s failed\n", column.name);
        else
            std::printf("%-30s %12.2f\n", column.name, perCall);
    }
    return 0;
}

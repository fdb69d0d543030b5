// Per-call cost of one extension-unit query on the real video path: a
// UVCIOC_CTRL_QUERY GET_CUR of the flash-status control on the capture node,
// answered through the umockdev bridge by one simulated camera with the zero
// timing model. Each column is one way of making the same call, the first of
// a group being the one the others are measured against: the bare ioctl and
// the channel's property call (a worker thread per call); then a whole
// 256-byte flash read on the UVC channel (header, then latched reply) and on
// the vendor channel over libusb. Prints figures, asserts nothing.
//
// Usage: bench_uvc_property [calls per column]

#include <unistd.h>

#include <cerrno>
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
#include "device/VendorRequests.h"
#include "device/WinDevice.h"
#include "device/usb/LibusbPort.h"
#include "device/uvc/ExtensionUnitControls.h"
#include "device/uvc/PropertyCall.h"
#include "device/uvc/UVCDevice.h"
#include "device/uvc/UVCExtensionUnitManager.h"
#include "device/uvc/V4l2VideoPort.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
using veltrion::VideoSource;

constexpr int kDefaultCalls = 2000;
constexpr uint16_t kV3VideoAudio = 0x0003;
constexpr uint16_t kStatusSize = 1;
constexpr uint16_t kPageSize = 256;
constexpr uint32_t kReadAddress = 0x300000;
constexpr int kCallFailed = -EIO;
const std::string kSerial = "A1B2C3D4E5F6";

// One way of making the call; returns 0 or a negative errno.
struct Column {
    const char* name;
    std::function<int()> call;
};

// Columns that make the same call; each is also shown against the first.
struct Group {
    std::string title;
    std::vector<Column> columns;
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

    // The channel's own objects on the same node: the extension-unit manager
    // (no hot-plug monitor, which would only wait) and a whole UVC device.
    veltrion::UVCExtensionUnitManager manager(std::make_unique<veltrion::V4l2VideoPort>(),
                                              veltrion::AcceptedProducts::Console, false);
    std::vector<veltrion::CameraSource> cameras;
    manager.enumerateCameras(cameras);
    const auto handle =
        cameras.empty() ? nullptr : manager.openExtensionUnit(veltrion::kVeltrionExtensionUnitGuid, cameras[0].key);
    veltrion::UVCDevice uvcDevice(veltrion::AcceptedProducts::Console, std::make_unique<veltrion::V4l2VideoPort>());
    veltrion::WinDevice winDevice(std::make_unique<veltrion::LibusbPort>());
    if (!handle || !uvcDevice.openVeltrion2Dev(cameras[0].key) || !winDevice.openVeltrion2Dev(device->usbPath)) {
        std::fprintf(stderr, "bench_uvc_property: cannot open the camera on the UVC and vendor channels\n");
        return 1;
    }
    const auto flashRead = [](veltrion::B6Device& channel) {
        std::vector<uint8_t> page(kPageSize);
        return channel.sendUsbControlTransfer(veltrion::vreq::kTypeIn, veltrion::vreq::kFlashRead,
                                              kReadAddress >> 16, kReadAddress & 0xFFFF, page.data(), kPageSize)
                   ? 0
                   : kCallFailed;
    };

    const std::vector<Group> groups{
        {"GET_CUR of selector " + std::to_string(veltrion::xu::kGetSpiRead) + ", " + std::to_string(kStatusSize) +
             " byte",
         {{"ioctl on the node",
           [&] {
               uint8_t status = 0;
               return source->queryExtensionUnit(unitId, veltrion::xu::kGetSpiRead, veltrion::XuQuery::GetCur,
                                                 &status, kStatusSize);
           }},
          {"property call (worker)",
           [&] {
               uint8_t status = 0;
               return veltrion::callExtensionUnitProperty(handle, veltrion::xu::kGetSpiRead,
                                                          veltrion::PropertyDirection::Get, &status, kStatusSize);
           }}}},
        {"flash read (0xC3), " + std::to_string(kPageSize) + " bytes",
         {{"vendor channel (libusb)", [&] { return flashRead(winDevice); }},
          {"UVC channel (header + reply)", [&] { return flashRead(uvcDevice); }}}},
    };

    std::printf("%d calls per column; microseconds per call, and the ratio to the group's first column\n", count);
    for (const Group& group : groups) {
        std::printf("%s\n", group.title.c_str());
        double first = 0;
        for (const Column& column : group.columns) {
            const double perCall = microsecondsPerCall(column.call, count);
            if (perCall < 0) {
                std::printf("  %-30s failed\n", column.name);
                continue;
            }
            if (&column == &group.columns.front()) first = perCall;
            if (first > 0)
                std::printf("  %-30s %12.2f %7.1fx\n", column.name, perCall, perCall / first);
            else
                std::printf("  %-30s %12.2f\n", column.name, perCall);
        }
    }
    return 0;
}

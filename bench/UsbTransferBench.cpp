// Per-transfer cost of the real libusb path (usbfs ioctls answered through
// the umockdev bridge) next to the simulator's own port, on one simulated
// camera with the zero timing model. Prints figures; asserts nothing.
//
// Usage: bench_usb_transfer [transfers per kind]

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
#include "SimUsbPort.h"
#include "UsbBridge.h"
#include "device/VendorRequests.h"
#include "device/usb/LibusbPort.h"
#include "support/TempDir.h"

namespace {

namespace vreq = veltrion::vreq;
using veltrion::UsbHandle;
using Clock = std::chrono::steady_clock;

constexpr int kDefaultTransfers = 2000;
constexpr uint16_t kPageSize = 256;
constexpr uint16_t kSpiModeIndexV3 = 1;
constexpr uint32_t kScratchAddress = 0x300000;
constexpr uint16_t kV3VideoAudio = 0x0003;
const std::string kSerial = "A1B2C3D4E5F6";

struct Kind {
    const char* name;
    std::function<int(UsbHandle&)> transfer;
    int expected;
};

int in(UsbHandle& handle, uint8_t request, uint16_t value, uint16_t index, uint16_t length) {
    std::vector<uint8_t> reply(length);
    return handle.controlTransfer(vreq::kTypeIn, request, value, index, reply.data(), length,
                                  veltrion::kControlTimeoutMs);
}

std::vector<Kind> kinds() {
    return {
        {"system loaded, 1 byte in", [](UsbHandle& h) { return in(h, vreq::kSystemLoaded, 0, 0, 1); }, 1},
        {"version block, 88 bytes in",
         [](UsbHandle& h) { return in(h, vreq::kQuery, 0, vreq::kQueryVersions, vreq::kVersionBlockSize); },
         vreq::kVersionBlockSize},
        {"flash read, 256 bytes in",
         [](UsbHandle& h) {
             return in(h, vreq::kFlashRead, kScratchAddress >> 16, kScratchAddress & 0xFFFF, kPageSize);
         },
         kPageSize},
        {"flash program, 256 bytes out",
         [](UsbHandle& h) {
             std::vector<uint8_t> page(kPageSize, 0xFF);  // all ones: programs nothing, wears nothing
             return h.controlTransfer(vreq::kTypeOut, vreq::kFlashProgram, kScratchAddress >> 16,
                                      kScratchAddress & 0xFFFF, page.data(), kPageSize, veltrion::kControlTimeoutMs);
         },
         kPageSize},
    };
}

// Microseconds per transfer, or a negative number when one failed.
double microsecondsPerTransfer(UsbHandle& handle, const Kind& kind, int count) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i)
        if (kind.transfer(handle) != kind.expected) return -1;
    const std::chrono::duration<double, std::micro> elapsed = Clock::now() - start;
    return elapsed.count() / count;
}

std::unique_ptr<UsbHandle> openInSpiMode(veltrion::UsbPort& port, const std::string& path) {
    std::unique_ptr<UsbHandle> handle;
    if (port.open(path, handle) < 0 || in(*handle, vreq::kSpiModeEnter, 0, kSpiModeIndexV3, 1) != 1) return nullptr;
    return handle;
}

// The libusb path needs the preload; the benchmark starts itself again under it.
void ensurePreload(char** argv) {
    if (veltrion::realports::preloadActive()) return;
    ::setenv("LD_PRELOAD", veltrion::realports::kPreloadLibrary, 1);
    ::execv("/proc/self/exe", argv);
    std::perror("bench_usb_transfer: cannot start again under the preload");
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    ensurePreload(argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultTransfers;

    TempDir dir("usb-transfer-bench");
    camsim::Bus bus(dir.path());
    bus.add("cam0", kV3VideoAudio, kSerial, false);

    const auto setupStart = Clock::now();
    veltrion::realports::UsbBridge bridge(dir.path());
    const std::chrono::duration<double, std::milli> setup = Clock::now() - setupStart;
    const auto device = bridge.device("cam0");
    if (!device) {
        std::fprintf(stderr, "bench_usb_transfer: the camera is not on the bridged bus\n");
        return 1;
    }

    camsim::SimUsbPort simPort(dir.path());
    veltrion::LibusbPort usbPort;
    auto sim = openInSpiMode(simPort, device->simPath);
    auto usb = openInSpiMode(usbPort, device->usbPath);
    if (!sim || !usb) {
        std::fprintf(stderr, "bench_usb_transfer: cannot open the camera on both ports\n");
        return 1;
    }

    std::printf("testbed with one camera: %.2f ms to set up\n", setup.count());
    std::printf("%d transfers per kind; microseconds per transfer\n", count);
    std::printf("%-30s %12s %12s %8s\n", "transfer", "sim port", "libusb", "ratio");
    for (const Kind& kind : kinds()) {
        const double viaSim = microsecondsPerTransfer(*sim, kind, count);
        const double viaUsb = microsecondsPerTransfer(*usb, kind, count);
        if (viaSim < 0 || viaUsb < 0) {
            std::printf("%-30s failed\n", kind.name);
            continue;
        }
        std::printf("%-30s %12.2f %12.2f %7.0fx\n", kind.name, viaSim, viaUsb, viaUsb / viaSim);
    }
    return 0;
}

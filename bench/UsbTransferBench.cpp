// Per-transfer cost of the real libusb path (usbfs ioctls answered through
// the umockdev bridge) next to the simulator's own port, on one simulated
// camera with the zero timing model: our stack (LibusbPort, and WinDevice over
// it) beside a bare libusb_control_transfer loop on the same device, with the
// ratio of each to the bare loop. Prints figures; asserts nothing.
//
// Usage: bench_usb_transfer [transfers per kind]

#include <libusb.h>
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
#include "device/WinDevice.h"
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

// One request kind, sent the same way through every path.
struct Kind {
    const char* name;
    uint8_t requestType;
    uint8_t request;
    uint16_t value;
    uint16_t index;
    uint16_t length;
};

std::vector<Kind> kinds() {
    return {
        {"system loaded, 1 byte in", vreq::kTypeIn, vreq::kSystemLoaded, 0, 0, 1},
        {"version block, 88 bytes in", vreq::kTypeIn, vreq::kQuery, 0, vreq::kQueryVersions,
         vreq::kVersionBlockSize},
        {"flash read, 256 bytes in", vreq::kTypeIn, vreq::kFlashRead, kScratchAddress >> 16,
         kScratchAddress & 0xFFFF, kPageSize},
        // All ones: programs nothing, wears nothing.
        {"flash program, 256 bytes out", vreq::kTypeOut, vreq::kFlashProgram, kScratchAddress >> 16,
         kScratchAddress & 0xFFFF, kPageSize},
    };
}

// Sends one request of the kind; the byte count, or a negative error.
using Transfer = std::function<int(const Kind&, uint8_t* data)>;

int in(UsbHandle& handle, uint8_t request, uint16_t value, uint16_t index, uint16_t length) {
    std::vector<uint8_t> reply(length);
    return handle.controlTransfer(vreq::kTypeIn, request, value, index, reply.data(), length,
                                  veltrion::kControlTimeoutMs);
}

// Microseconds per transfer, or a negative number when one failed.
double microsecondsPerTransfer(const Transfer& transfer, const Kind& kind, int count) {
    std::vector<uint8_t> buffer(kind.length, 0xFF);
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        // An OUT page is refilled as a caller's buffer would be.
        if (kind.requestType == vreq::kTypeOut) std::fill(buffer.begin(), buffer.end(), 0xFF);
        if (transfer(kind, buffer.data()) != kind.length) return -1;
    }
    const std::chrono::duration<double, std::micro> elapsed = Clock::now() - start;
    return elapsed.count() / count;
}

// The same camera opened with libusb alone: its own context, the device
// found by the kernel name in the vendor-channel path ("usb:1-1.4:...").
class BareLibusb {
public:
    explicit BareLibusb(const std::string& usbPath) {
        if (libusb_init(&context_) != 0) {
            context_ = nullptr;
            return;
        }
        const size_t start = usbPath.find(':') + 1;
        const std::string location = usbPath.substr(start, usbPath.find(':', start) - start);
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(context_, &list);
        for (ssize_t i = 0; i < count && !handle_; ++i)
            if (locationOf(list[i]) == location) libusb_open(list[i], &handle_);
        if (count >= 0) libusb_free_device_list(list, 1);
    }
    ~BareLibusb() {
        if (handle_) libusb_close(handle_);
        if (context_) libusb_exit(context_);
    }
    BareLibusb(const BareLibusb&) = delete;
    BareLibusb& operator=(const BareLibusb&) = delete;

    bool isOpen() const { return handle_ != nullptr; }
    int transfer(const Kind& kind, uint8_t* data) {
        return libusb_control_transfer(handle_, kind.requestType, kind.request, kind.value, kind.index, data,
                                       kind.length, veltrion::kControlTimeoutMs);
    }

private:
    static std::string locationOf(libusb_device* device) {
        uint8_t ports[8];
        const int depth = libusb_get_port_numbers(device, ports, sizeof ports);
        std::string location = std::to_string(libusb_get_bus_number(device)) + "-";
        for (int i = 0; i < depth; ++i) {
            if (i > 0) location += '.';
            location += std::to_string(ports[i]);
        }
        return location;
    }

    libusb_context* context_ = nullptr;
    libusb_device_handle* handle_ = nullptr;
};

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
    veltrion::WinDevice winDevice(std::make_unique<veltrion::LibusbPort>());
    BareLibusb bare(device->usbPath);
    if (!sim || !usb || !winDevice.openVeltrion2Dev(device->usbPath) || !bare.isOpen()) {
        std::fprintf(stderr, "bench_usb_transfer: cannot open the camera on every path\n");
        return 1;
    }

    const Transfer viaSim = [&](const Kind& k, uint8_t* data) {
        return sim->controlTransfer(k.requestType, k.request, k.value, k.index, data, k.length,
                                    veltrion::kControlTimeoutMs);
    };
    const Transfer viaPort = [&](const Kind& k, uint8_t* data) {
        return usb->controlTransfer(k.requestType, k.request, k.value, k.index, data, k.length,
                                    veltrion::kControlTimeoutMs);
    };
    const Transfer viaWinDevice = [&](const Kind& k, uint8_t* data) {
        return winDevice.sendUsbControlTransfer(k.requestType, k.request, k.value, k.index, data, k.length)
                   ? k.length
                   : -1;
    };
    const Transfer viaBare = [&](const Kind& k, uint8_t* data) { return bare.transfer(k, data); };

    std::printf("testbed with one camera: %.2f ms to set up\n", setup.count());
    std::printf("%d transfers per kind; microseconds per transfer; ratios to bare libusb\n", count);
    std::printf("%-30s %10s %12s %10s %10s %9s %9s\n", "transfer", "sim port", "bare libusb", "LibusbPort",
                "WinDevice", "port/bare", "dev/bare");
    for (const Kind& kind : kinds()) {
        // The bare loop first and last: the mean of both runs evens out a
        // testbed that warms up or slows down over the run.
        const double bareFirst = microsecondsPerTransfer(viaBare, kind, count);
        const double simUs = microsecondsPerTransfer(viaSim, kind, count);
        const double portUs = microsecondsPerTransfer(viaPort, kind, count);
        const double deviceUs = microsecondsPerTransfer(viaWinDevice, kind, count);
        const double bareLast = microsecondsPerTransfer(viaBare, kind, count);
        if (simUs < 0 || portUs < 0 || deviceUs < 0 || bareFirst < 0 || bareLast < 0) {
            std::printf("%-30s failed\n", kind.name);
            continue;
        }
        const double bareUs = (bareFirst + bareLast) / 2;
        std::printf("%-30s %10.2f %12.2f %10.2f %10.2f %9.3f %9.3f\n", kind.name, simUs, bareUs, portUs, deviceUs,
                    portUs / bareUs, deviceUs / bareUs);
    }
    return 0;
}

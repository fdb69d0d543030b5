// The controller's ROM boot loader, running when flash holds no bootable
// firmware. It answers the standard descriptor requests (requests/
// Descriptors.cpp) and its RAM download request.

#include "Camera.h"
#include "device/VendorRequests.h"
#include "device/usb/UsbPort.h"

namespace camsim {

namespace vreq = veltrion::vreq;

int Camera::handleBootLoader(const SetupPacket& setup, uint8_t* data) {
    (void)data;
    switch (setup.request) {
        case vreq::kBootLoaderDownload:
            // RAM download (write, read back, start at the entry address) is
            // not modelled yet: the request stalls.
            return veltrion::kUsbErrorPipe;
        default:
            return veltrion::kUsbErrorPipe;
    }
}

}  // namespace camsim

// The calibration query: the firmware answers with the fifteen calibration
// words of the configuration block in its flash, as stored (all 0xFF when
// they were never written).

#include <vector>

#include "Camera.h"
#include "device/VendorRequests.h"
#include "device/usb/UsbPort.h"
#include "config/ConfigBlockLayout.h"

namespace camsim {

namespace cb = veltrion::configblock;

int Camera::handleCalibration(const SetupPacket& setup, uint8_t* data) {
    if (setup.value != 0) return veltrion::kUsbErrorPipe;
    std::vector<uint8_t> words(cb::kCalibrationSize);
    if (!flash_.read(cb::kMainPageAddress + cb::kCalibrationOffset, words)) return veltrion::kUsbErrorPipe;
    return replyIn(setup, data, words);
}

}  // namespace camsim

// The built-in self-test: the status block (0xD6) and the information text of
// each ISP (0xDA..0xDC), which the ISP gives in two 256-byte parts, one per read.

#include "Camera.h"
#include "SelfTestState.h"
#include "device/VendorRequests.h"
#include "device/usb/UsbPort.h"

namespace camsim {

namespace vreq = veltrion::vreq;

int Camera::handleSelfTest(const SetupPacket& setup, uint8_t* data) {
    // A self-test starts a new round: the next text read gives a first part.
    live_->ispInfoReads.fill(0);
    return replyIn(setup, data, selfTestReply(state_->selfTest));
}

int Camera::handleIspInfo(const SetupPacket& setup, uint8_t* data) {
    const size_t isp = static_cast<size_t>(setup.request - vreq::kIspInfo0);
    if (isp >= live_->ispInfoReads.size()) return veltrion::kUsbErrorPipe;
    const size_t part = live_->ispInfoReads[isp]++ % veltrion::selftest::kIspInfoParts;
    const std::string text = ispInfoText(state_->selfTest, isp, state_->running.isp.version);
    return replyIn(setup, data, ispInfoPart(text, part, state_->selfTest.ispInfoEnd));
}

}  // namespace camsim

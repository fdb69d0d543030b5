// Request 0xFD: the records of automatic framing and face detection that the
// host's monitors poll. Index 0x22 chooses what to read: value 3 enters the
// ROI mode (the reply says whether the camera frames automatically), values
// 0..2 select an ISP. Index 0x23 reads, told apart by length: 5 bytes the ROI
// record, 1 byte the selected ISP's ready flag, 133 bytes its face block. The
// ROI mode and the ISP selection are kept apart, so both monitors can poll
// one camera at once.

#include <algorithm>
#include <array>

#include "Camera.h"
#include "base/ByteLayout.h"
#include "device/CameraIdentity.h"
#include "device/usb/UsbPort.h"

namespace camsim {

namespace {

constexpr uint8_t kRoiSupported = 1;
constexpr uint8_t kRoiUnsupported = 0;
constexpr uint8_t kNoRoi = 0;
constexpr uint8_t kNotReady = 0;
constexpr uint8_t kIspSelected = 1;
// The firmware group whose cameras frame automatically.
constexpr const char* kRoiGroup = "V2sG";

}  // namespace

MonitorSelection& Camera::monitorSelectionLocked() {
    MonitorSelection& selection = live_->monitorSelection;
    if (selection.enumeration != live_->enumeration) selection = {live_->enumeration};
    return selection;
}

int Camera::handleMonitorData(const SetupPacket& setup, uint8_t* data) {
    if (setup.index == face::kIndexMode) return handleMonitorSelect(setup, data);
    if (setup.index == face::kIndexData) return handleMonitorRead(setup, data);
    return veltrion::kUsbErrorPipe;
}

int Camera::handleMonitorSelect(const SetupPacket& setup, uint8_t* data) {
    MonitorSelection& selection = monitorSelectionLocked();
    if (setup.value == face::kRoiModeValue) {
        const FaceState& face = state_->face;
        const bool supported =
            face.roiSupport == RoiSupport::Auto
                ? veltrion::getFwGroupFromVidPid(state_->identity.vendorId, state_->identity.productId) == kRoiGroup
                : face.roiSupport == RoiSupport::Yes;
        const std::array<uint8_t, 1> reply{supported ? kRoiSupported : kRoiUnsupported};
        const int result = replyIn(setup, data, reply);
        if (result >= 0 && supported) selection.roiMode = true;
        return result;
    }
    if (setup.value >= face::kIspCount) return veltrion::kUsbErrorPipe;
    const std::array<uint8_t, 1> reply{state_->face.ispSelectReply};
    const int result = replyIn(setup, data, reply);
    if (result >= 0 && reply[0] == kIspSelected) {
        selection.isp = setup.value;
        selection.readyPolls = 0;
    }
    return result;
}

int Camera::handleMonitorRead(const SetupPacket& setup, uint8_t* data) {
    if (setup.value != 0) return veltrion::kUsbErrorPipe;
    MonitorSelection& selection = monitorSelectionLocked();
    const FaceState& face = state_->face;
    if (setup.length == face::kRoiLength) {
        if (!selection.roiMode) return veltrion::kUsbErrorPipe;
        RoiStep step;
        if (!face.roi.empty()) {
            step = face.roi[std::min<size_t>(face.roiNext, face.roi.size() - 1)];
            if (face.roiNext + 1 < face.roi.size()) ++state_.edit().face.roiNext;
        }
        if (step.kind == RoiStep::Kind::Stall) return veltrion::kUsbErrorPipe;
        // Presence byte, then start X and end X.
        std::vector<uint8_t> record;
        veltrion::ByteWriter writer(record);
        writer.u8(step.kind == RoiStep::Kind::Present ? face::kPresent : kNoRoi);
        writer.le16(step.startX);
        writer.le16(step.endX);
        return replyIn(setup, data, record);
    }
    if (selection.isp < 0) return veltrion::kUsbErrorPipe;
    const auto isp = static_cast<size_t>(selection.isp);
    if (setup.length == face::kReadyLength) {
        const int32_t after = face.readyAfter[isp];
        const bool ready = after != face::kNeverReady && selection.readyPolls >= static_cast<uint32_t>(after);
        ++selection.readyPolls;
        const std::array<uint8_t, 1> reply{ready ? face::kPresent : kNotReady};
        return replyIn(setup, data, reply);
    }
    if (setup.length == face::kBlockLength)
        return replyIn(setup, data, faceBlock(face.faces[isp], !face.inconsistent[isp]));
    return veltrion::kUsbErrorPipe;
}

}  // namespace camsim

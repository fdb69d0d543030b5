// The extension unit of the video function. Its generic controls carry the
// camera's vendor requests: they run through the same dispatch as the vendor
// channel's transfers, so counters, faults, timing and resets all apply.

#include <algorithm>
#include <array>
#include <cerrno>
#include <span>
#include <utility>
#include <vector>

#include "Camera.h"
#include "ExtensionUnit.h"
#include "base/ByteLayout.h"
#include "device/VendorRequests.h"

namespace camsim {

namespace vreq = veltrion::vreq;
using veltrion::XuQuery;

namespace xu {

namespace {

constexpr std::array<Control, 12> kControls{{
    {kReady, kSwitchSize, true, false},
    {kFraming, kSwitchSize, true, true},
    {kEnhancement, kSwitchSize, true, true},
    {kFlashStatus, 1, true, false},
    {kRequestHeader, kHeaderSize, false, true},
    {kLatchedReply, kReplySize, true, false},
    {kRequestWithData, kHeaderWithDataSize, false, true},
    {kFpgaLoaded, 1, true, false},
    {kSystemLoaded, 1, true, false},
    {kReserved, 1, false, false},
    {kLed, 1, false, true},
    {kPreset, kPresetSize, false, true},
}};

}  // namespace

const Control* findControl(uint8_t selector) {
    const auto found =
        std::find_if(kControls.begin(), kControls.end(), [selector](const auto& c) { return c.selector == selector; });
    return found == kControls.end() ? nullptr : &*found;
}

}  // namespace xu

namespace {

constexpr uint16_t kFlashStatusLength = 2;  // the request's reply; the control keeps its first byte

SetupPacket inRequest(uint8_t request, uint16_t value, uint16_t index, uint16_t length) {
    return {vreq::kTypeIn, request, value, index, length};
}

// The request a header names, in the given direction.
SetupPacket fromHeader(std::span<const uint8_t> header, uint8_t requestType) {
    const veltrion::ByteReader reader(header);
    return {requestType, *reader.u8(xu::kHeaderRequestAt), *reader.le16(xu::kHeaderValueAt),
            *reader.le16(xu::kHeaderIndexAt), *reader.le16(xu::kHeaderLengthAt)};
}

}  // namespace

int Camera::runForExtensionUnit(const SetupPacket& setup, uint8_t* reply, uint16_t needed) {
    // The firmware stalls the control when its request fails, or when an IN
    // reply comes shorter than the control returns: the host would take the
    // missing bytes for data.
    const int result = transferLocked(setup, reply);
    return result < 0 || result < needed ? -EIO : 0;
}

int Camera::extensionUnitLocked(uint8_t selector, XuQuery query, uint8_t* data, uint16_t size) {
    struct ViaExtensionUnit {
        bool& flag;
        explicit ViaExtensionUnit(bool& f) : flag(f) { flag = true; }
        ~ViaExtensionUnit() { flag = false; }
    } via(viaExtensionUnit_);
    const xu::Control* control = xu::findControl(selector);
    if (!control) return -ENOENT;
    if (query == XuQuery::GetLen) {
        if (size != xu::kLengthSize || !data) return -ENOBUFS;
        std::vector<uint8_t> length;
        veltrion::ByteWriter(length).le16(control->length);
        std::copy(length.begin(), length.end(), data);
        return 0;
    }
    if (size != control->length || !data) return -ENOBUFS;
    const bool get = query == XuQuery::GetCur;
    if (get ? !control->get : query != XuQuery::SetCur || !control->set) return -EIO;

    switch (selector) {
        case xu::kReady: data[0] = state_->video.ready ? 1 : 0; return 0;
        case xu::kFraming:
        case xu::kEnhancement: {
            if (!state_->video.switchesPresent) return -EIO;
            const bool framing = selector == xu::kFraming;
            if (get) {
                data[0] = (framing ? state_->video.framing : state_->video.enhancement) ? 1 : 0;
                return 0;
            }
            VideoState& video = state_.edit().video;
            (framing ? video.framing : video.enhancement) = data[0] != 0;
            return 0;
        }
        case xu::kFlashStatus: {
            std::array<uint8_t, kFlashStatusLength> status{};
            const int result =
                runForExtensionUnit(inRequest(vreq::kFlashStatusSync, 0, 0, kFlashStatusLength), status.data(), 1);
            if (result == 0) data[0] = status[0];
            return result;
        }
        case xu::kRequestHeader: return runLatchedRequest(std::span<const uint8_t>(data, size));
        case xu::kLatchedReply: {
            const ReplyLatch latch = std::exchange(live_->latch, ReplyLatch{});
            if (!latch.held || latch.failed) return -EIO;
            if (std::chrono::steady_clock::now() < latch.readyAt)
                std::fill_n(data, xu::kReplySize, 0);  // asked too early: the reply is not filled in yet
            else
                std::copy(latch.reply.begin(), latch.reply.end(), data);
            return 0;
        }
        case xu::kRequestWithData: {
            const SetupPacket setup = fromHeader(std::span<const uint8_t>(data, xu::kHeaderSize), vreq::kTypeOut);
            if (setup.length > xu::kMaxPayload) return -EIO;
            std::array<uint8_t, xu::kMaxPayload> payload{};
            std::copy_n(data + xu::kHeaderSize, setup.length, payload.begin());
            return runForExtensionUnit(setup, payload.data(), setup.length);
        }
        case xu::kFpgaLoaded:
        case xu::kSystemLoaded: {
            const uint8_t request = selector == xu::kFpgaLoaded ? kFpgaLoadedRequest : vreq::kSystemLoaded;
            uint8_t reply = 0;
            const int result = runForExtensionUnit(inRequest(request, 0, 0, 1), &reply, 1);
            if (result == 0) data[0] = reply;
            return result;
        }
        case xu::kLed: {
            uint8_t ignored = 0;
            return runForExtensionUnit(inRequest(vreq::kLed, data[0] != 0 ? 1 : 0, 0, 1), &ignored, 0);
        }
        case xu::kPreset: {
            const uint16_t word = *veltrion::ByteReader(std::span<const uint8_t>(data, size)).le16(0);
            uint8_t ignored = 0;
            return runForExtensionUnit(inRequest(vreq::kQuery, word, vreq::kQueryPreset, 1), &ignored, 0);
        }
        default: return -EIO;  // listed in the unit but answers nothing
    }
}

int Camera::runLatchedRequest(std::span<const uint8_t> header) {
    // Runs at once as a device-to-host request; the reply waits for the next
    // read of the latched reply, and a failure fails both.
    const SetupPacket setup = fromHeader(header, vreq::kTypeIn);
    const uint64_t enumeration = live_->enumeration;
    ReplyLatch& latch = live_->latch;
    latch = ReplyLatch{};
    latch.held = true;
    if (setup.length > xu::kMaxPayload) {
        latch.failed = true;
        return -EIO;
    }
    const int result = transferLocked(setup, latch.reply.data());
    if (result < 0) {
        latch.failed = true;
        return -EIO;
    }
    // A reset answered, then took the camera off the bus with its latch.
    if (live_->enumeration != enumeration) return 0;
    // A reply shorter than asked for cannot be told from data once latched.
    latch.failed = result < setup.length;
    return 0;
}

}  // namespace camsim

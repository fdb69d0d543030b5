#pragma once

// The simulated bus seen through its video port: capture sources and the
// extension unit's controls.

#include <cerrno>

#include "Camera.h"
#include "ExtensionUnit.h"
#include "Registry.h"
#include "SimFixture.h"
#include "SimVideoPort.h"
#include "base/ByteLayout.h"

namespace camsim::test {

using veltrion::XuQuery;

class SimVideoTest : public SimBusTest {
protected:
    static constexpr uint8_t kUnit = 3;

    std::shared_ptr<veltrion::VideoSource> source(const std::string& name) {
        std::shared_ptr<veltrion::VideoSource> opened;
        EXPECT_EQ(video().openSource(link(name), opened), 0) << name;
        return opened;
    }
    std::string link(const std::string& name) { return simVideoLink(name, viewOf(name)); }
    BusView viewOf(const std::string& name) {
        const CameraState state = bus->state(name);
        BusView view;
        view.vendorId = state.identity.vendorId;
        view.productId = state.identity.productId;
        view.serial = state.identity.serial;
        view.serialHidden = state.identity.serialHidden;
        return view;
    }
    SimVideoPort& video() {
        if (!video_) video_ = std::make_unique<SimVideoPort>(dir);
        return *video_;
    }

    static int xu(veltrion::VideoSource& source, uint8_t selector, XuQuery query, std::vector<uint8_t>& data) {
        return source.queryExtensionUnit(kUnit, selector, query, data.data(), static_cast<uint16_t>(data.size()));
    }
    static std::vector<uint8_t> header(uint8_t request, uint16_t value, uint16_t index, uint16_t length) {
        std::vector<uint8_t> bytes;
        veltrion::ByteWriter out(bytes);
        out.u8(request);
        out.le16(value);
        out.le16(index);
        out.le16(length);
        return bytes;
    }
    // A device-to-host request as the channel sends it: header, then the
    // latched reply. Empty on failure.
    static std::vector<uint8_t> viaHeader(veltrion::VideoSource& source, uint8_t request, uint16_t value,
                                          uint16_t index, uint16_t length) {
        auto bytes = header(request, value, index, length);
        std::vector<uint8_t> reply(xu::kReplySize);
        if (xu(source, xu::kRequestHeader, XuQuery::SetCur, bytes) != 0 ||
            xu(source, xu::kLatchedReply, XuQuery::GetCur, reply) != 0)
            return {};
        reply.resize(length);
        return reply;
    }
    static int getByte(veltrion::VideoSource& source, uint8_t selector) {
        std::vector<uint8_t> byte(1);
        const int result = xu(source, selector, XuQuery::GetCur, byte);
        return result == 0 ? byte[0] : result;
    }

private:
    std::unique_ptr<SimVideoPort> video_;
};

}  // namespace camsim::test

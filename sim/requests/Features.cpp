// The feature query: wIndex is a feature code of the feature JSON kept in
// the camera's flash. The reply is the feature's properties in their order,
// each over its length with its least significant byte first, filled with
// zeros up to the length asked for.

#include <algorithm>
#include <vector>

#include "Camera.h"
#include "FeatureMap.h"
#include "device/usb/UsbPort.h"
#include "format/FlashMap.h"

namespace camsim {

using namespace veltrion::flashmap;

int Camera::handleFeatureQuery(const SetupPacket& setup, uint8_t* data) {
    if (setup.value != 0) return veltrion::kUsbErrorPipe;
    const auto json = jsonFromRecord(flash_.from(kJsonAddress).first(kSector64K));
    if (!json) return veltrion::kUsbErrorPipe;
    std::vector<uint8_t> reply;
    bool known = false;
    for (const FeatureProperty& property : featureProperties(*json)) {
        if (property.featureCode != setup.index) continue;
        known = true;
        std::vector<uint8_t> stored(property.length);
        if (!flash_.read(property.address, stored)) return veltrion::kUsbErrorPipe;
        reply.insert(reply.end(), stored.rbegin(), stored.rend());
    }
    if (!known) return veltrion::kUsbErrorPipe;
    reply.resize(std::max<size_t>(reply.size(), setup.length), 0);
    return replyIn(setup, data, reply);
}

}  // namespace camsim

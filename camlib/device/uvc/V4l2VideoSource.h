#pragma once

// One open capture node of the real video port.

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "V4l2Node.h"
#include "VideoPort.h"

namespace veltrion {

class V4l2VideoSource : public VideoSource {
public:
    explicit V4l2VideoSource(v4l2::CaptureNode node);

    bool isGone() override;
    int findExtensionUnit(const UnitGuid& guid, uint8_t& unitId) override;
    // A selector the unit's descriptor does not offer is refused with -ENOENT
    // without asking the driver, which would refuse it the same way.
    int queryExtensionUnit(uint8_t unitId, uint8_t selector, XuQuery query, uint8_t* data,
                           uint16_t size) override;

    int queryControl(VideoControlId id, VideoControlRange& range) override;
    int getControl(VideoControlId id, int32_t& value) override;
    int setControl(VideoControlId id, int32_t value) override;

private:
    // An ioctl on the node; ENODEV marks the source gone for good.
    int call(unsigned long request, void* argument);
    bool selectorRefused(uint8_t unitId, uint8_t selector);

    v4l2::CaptureNode node_;
    std::atomic<bool> gone_{false};
    std::mutex unitsMutex_;
    std::map<uint8_t, std::vector<uint8_t>> unitControls_;  // bmControls by unit id, once found
};

}  // namespace veltrion

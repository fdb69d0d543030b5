#pragma once

// Hot-plug events from libudev: USB devices and video4linux nodes coming and
// going, translated into the paths the two channels list.

#include <memory>
#include <string>

#include "DeviceIdentityCache.h"
#include "HotplugPort.h"
#include "device/UdevHandles.h"

namespace veltrion {

class UdevHotplugPort : public HotplugPort {
public:
    // Automatic: udevd's events when udevd runs, else the kernel's.
    enum class Source { Automatic, Udev, Kernel };

    // Null, with a one-line reason in error, when no monitor can be set up.
    static std::unique_ptr<UdevHotplugPort> create(std::string& error, Source source = Source::Automatic);
    ~UdevHotplugPort() override;

    int eventDescriptor() const override;
    void takeEvents(std::vector<HotplugEvent>& events) override;
    std::string sourceName() const override { return sourceName_; }

private:
    UdevHotplugPort(UdevContext context, UdevMonitor monitor, std::string sourceName);

    UdevContext context_;
    UdevMonitor monitor_;
    std::string sourceName_;
    DeviceIdentityCache cache_;
};

}  // namespace veltrion

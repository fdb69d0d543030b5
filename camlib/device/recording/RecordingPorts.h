#pragma once

// Ports that pass every call to the port they wrap (real or simulated) and
// record the call with what it returned. Above them nothing changes.

#include <memory>
#include <string>

#include "Recorder.h"
#include "device/hotplug/HotplugPort.h"
#include "device/usb/UsbPort.h"
#include "device/uvc/VideoPort.h"

namespace veltrion::recording {

std::unique_ptr<UsbPort> recordUsbPort(std::unique_ptr<UsbPort> inner, std::shared_ptr<Recorder> recorder);
std::unique_ptr<VideoPort> recordVideoPort(std::unique_ptr<VideoPort> inner, std::shared_ptr<Recorder> recorder);
// Records the port's creation too: its source, or the reason there is none
// (inner null, error set).
std::unique_ptr<HotplugPort> recordHotplugPort(std::unique_ptr<HotplugPort> inner, const std::string& error,
                                               std::shared_ptr<Recorder> recorder);

}  // namespace veltrion::recording

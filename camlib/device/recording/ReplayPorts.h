#pragma once

// The ports of a replay: the bus is a recording (ReplaySession).

#include <memory>
#include <string>

#include "ReplaySession.h"
#include "device/hotplug/HotplugPort.h"
#include "device/usb/UsbPort.h"
#include "device/uvc/VideoPort.h"

namespace veltrion::recording {

std::unique_ptr<UsbPort> replayUsbPort(ReplaySession& session);
std::unique_ptr<VideoPort> replayVideoPort(ReplaySession& session);
// The next recorded hot-plug port: null with the recorded reason when the
// recorded program had none.
std::unique_ptr<HotplugPort> replayHotplugPort(ReplaySession& session, std::string& error);

}  // namespace veltrion::recording

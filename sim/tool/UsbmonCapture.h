#pragma once

// A recording's vendor-channel control transfers as a capture file of the
// Linux usbmon link type (the 64-byte memory-mapped header), written through
// libpcap, so that packet analysers' USB dissectors can show them.

#include <cstddef>
#include <string>

#include "device/recording/RecordingFile.h"

namespace camsim {

// Each control transfer becomes a submit and a complete event. False with a
// one-line reason when OUT cannot be written; packets counts what was written.
bool writeUsbmonCapture(const veltrion::recording::Recording& recording, const std::string& out, size_t& packets,
                        std::string& error);

}  // namespace camsim

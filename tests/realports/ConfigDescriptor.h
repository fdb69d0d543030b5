#pragma once

// Configuration descriptors the kernel would have read from a device of each
// kind on the bridged bus. Used when a device does not answer
// GET_DESCRIPTOR(configuration) itself; they are what sysfs "descriptors"
// carries after the device descriptor.

#include <cstdint>
#include <vector>

namespace veltrion::realports {

// A UVC camera: video control (camera terminal, processing unit, the camera's
// extension unit, streaming terminal) and video streaming, plus audio control
// and streaming for the models with audio.
std::vector<uint8_t> cameraConfiguration(bool superSpeed, bool withAudio);

// The controller's ROM boot loader: one vendor interface, no endpoints.
std::vector<uint8_t> bootLoaderConfiguration();

// A root hub: the hub interface with its status-change endpoint.
std::vector<uint8_t> rootHubConfiguration();

}  // namespace veltrion::realports

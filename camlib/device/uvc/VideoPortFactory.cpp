#include "VideoPort.h"

namespace veltrion {

// Interim: no port yet on either bus; the channel reports it cannot start.
std::unique_ptr<VideoPort> createVideoPort() { return nullptr; }

}  // namespace veltrion

#pragma once

#include <memory>
#include <mutex>
#include <string>

namespace veltrion {

// The process-wide lock of one camera's request/reply exchanges, shared by
// every device object that opens the camera (the manager's and the monitors').
std::shared_ptr<std::mutex> cameraExchangeLock(const std::string& symbolicLink);

}  // namespace veltrion

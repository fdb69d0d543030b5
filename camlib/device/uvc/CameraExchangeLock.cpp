#include "CameraExchangeLock.h"

#include <map>

#include "MediaSourceCache.h"

namespace veltrion {

std::shared_ptr<std::mutex> cameraExchangeLock(const std::string& symbolicLink) {
    static std::mutex registryMutex;
    static std::map<std::string, std::weak_ptr<std::mutex>> registry;
    std::lock_guard lock(registryMutex);
    auto& slot = registry[lowerCaseText(symbolicLink)];
    auto shared = slot.lock();
    if (!shared) {
        shared = std::make_shared<std::mutex>();
        slot = shared;
    }
    return shared;
}

}  // namespace veltrion

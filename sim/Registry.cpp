#include "Registry.h"

#include <map>
#include <mutex>
#include <string>

#include "Camera.h"

namespace camsim {

namespace {

struct Registry {
    std::mutex mutex;
    // Weak: a camera lives while someone uses it, and is loaded afresh (with
    // what other processes saved) after that.
    std::map<std::string, std::weak_ptr<Camera>> cameras;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

std::string keyOf(const std::filesystem::path& folder) {
    std::error_code error;
    const auto canonical = std::filesystem::weakly_canonical(folder, error);
    return (error ? folder : canonical).lexically_normal().string();
}

}  // namespace

std::shared_ptr<Camera> findLiveCamera(const std::filesystem::path& folder) {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    const auto found = reg.cameras.find(keyOf(folder));
    if (found == reg.cameras.end()) return nullptr;
    auto camera = found->second.lock();
    if (camera && camera->detached()) return nullptr;
    return camera;
}

std::shared_ptr<Camera> acquireCamera(const std::filesystem::path& folder) {
    Registry& reg = registry();
    const std::string key = keyOf(folder);
    std::lock_guard lock(reg.mutex);
    if (auto found = reg.cameras.find(key); found != reg.cameras.end()) {
        if (auto camera = found->second.lock(); camera && !camera->detached()) return camera;
    }
    auto camera = std::make_shared<Camera>(folder);
    reg.cameras[key] = camera;
    // Forget folders whose cameras are gone, so the map does not grow.
    std::erase_if(reg.cameras, [](const auto& entry) { return entry.second.expired(); });
    return camera;
}

}  // namespace camsim

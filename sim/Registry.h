#pragma once

// One Camera object per camera folder in a process, shared by every handle,
// port and bus object of the process, so they all see one camera state.

#include <filesystem>
#include <memory>

namespace camsim {

class Camera;

// The camera of a folder: the live object when one exists, else a newly
// loaded one. Throws SimError when the folder holds no camera.
std::shared_ptr<Camera> acquireCamera(const std::filesystem::path& folder);

// The live camera object of a folder, if any.
std::shared_ptr<Camera> findLiveCamera(const std::filesystem::path& folder);

}  // namespace camsim

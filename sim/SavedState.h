#pragma once

// camera.json's content as one process holds it between requests. It is read
// freely; a change goes through edit(), which marks it for saving when the
// request ends. A request that changes nothing so costs one flag test, where
// copying and comparing the whole state per request slowed every transfer.

#include <utility>

#include "CameraState.h"

namespace camsim {

class SavedState {
public:
    explicit SavedState(CameraState state) : state_(std::move(state)) {}

    const CameraState* operator->() const { return &state_; }
    const CameraState& operator*() const { return state_; }

    // The state to change; it is saved when the request ends.
    CameraState& edit() {
        edited_ = true;
        return state_;
    }
    bool edited() const { return edited_; }

    // What another process saved, or what this one just saved: in step with
    // camera.json, nothing to save.
    void reset(CameraState state) {
        state_ = std::move(state);
        edited_ = false;
    }
    void markSaved() { edited_ = false; }

private:
    CameraState state_;
    bool edited_ = false;
};

}  // namespace camsim

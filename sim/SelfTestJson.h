#pragma once

// The "self-test" object of camera.json.

#include <jansson.h>

#include "SelfTestState.h"

namespace camsim {

void writeSelfTestJson(json_t* root, const SelfTestState& state);
// Missing or malformed members keep their defaults.
SelfTestState readSelfTestJson(json_t* root);

}  // namespace camsim

#pragma once

// The keys of `set` and `fault`: text values from the tool or from tests
// turned into camera state. Both throw SimError with a one-line message on an
// unknown key or a bad value.

#include <string>
#include <vector>

#include "CameraState.h"

namespace camsim {

// streaming 0|1, usb-type 1..3, ext-power 0|1, system-loaded auto|0|1,
// timing zero|realistic, sensor-temp T or T0,T1,T2 (degrees Celsius),
// xu-ready, framing, enhancement, serial-hidden 0|1, friendly-name TEXT,
// control-NAME V (a standard control inside its range); face detection and
// the monitors' records (faceSettingKeys of FaceState.h); the self-test
// (selfTestSettingKeys of SelfTestState.h); serial-answer TEXT|default.
void applySetting(CameraState& state, const std::string& key, const std::string& value);

// refuse-df, refuse-c1, refuse-checksum, checksum-inconsistent, busy-stuck
// 0|1; power-loss-after-pages N; fail-next REQ:N and short-reply REQ:N (REQ
// in hex), or 0 for none; xu-stall-ms N (every extension-unit call answers
// N ms late), xu-vanish-after N (the camera leaves the bus in the N-th
// extension-unit call from now); fail-nth REQ:N (the N-th transfer of REQ
// from now fails, once); fail-read-at ADDR[:K] or none (flash reads of the
// page holding ADDR fail after K good ones).
void applyFault(CameraState& state, const std::string& key, const std::string& value);

std::vector<std::string> settingKeys();
std::vector<std::string> faultKeys();

}  // namespace camsim

#pragma once

// Makes a recording fit to share: serial numbers replaced consistently, and
// the bytes that identify a unit (configuration block, calibration, lookup
// table) replaced with filler, so that a replay still runs the program the
// way the recorded run went (docs/recording-format.md, "Masking").

#include "device/recording/RecordingFile.h"

namespace camsim {

struct MaskSummary {
    size_t serials = 0;  // distinct serial numbers replaced
};

MaskSummary maskRecording(veltrion::recording::Recording& recording);

}  // namespace camsim

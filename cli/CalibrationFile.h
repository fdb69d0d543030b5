#pragma once

// The argument file of --write-calib: "key: value" lines, one calibration
// value each. Lines beginning with "#" or "//" are comments; a key that names
// no calibration value is ignored.

#include <cstdio>

#include "config/CalibrationParams.h"

namespace veltrion::cli {

// Reads the file line by line onto params. Prints its own console message and
// returns false at the first line without ":", a rejected value or a read
// error; params may then hold some of the file's values.
bool applyCalibrationFile(std::FILE* file, CalibrationParams& params);

}  // namespace veltrion::cli

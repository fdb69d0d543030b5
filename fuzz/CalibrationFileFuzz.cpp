// libFuzzer entry for the text parser of the --write-calib argument file. A
// value it accepts must be finite (a refused zero stays refused); what it
// prints goes to /dev/null.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "CalibrationFile.h"
#include "FuzzSupport.h"

namespace {

using namespace veltrion;
using fuzzsupport::require;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The parser's messages would drown the fuzzer's own lines.
    require(std::freopen("/dev/null", "w", stdout) != nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;  // fmemopen refuses an empty buffer
    std::unique_ptr<std::FILE, FileCloser> file(fmemopen(const_cast<uint8_t*>(data), size, "r"));
    require(file != nullptr);
    CalibrationParams params{};
    cli::applyCalibrationFile(file.get(), params);
    for (float value : params.focalLength) require(std::isfinite(value));
    for (float value : params.k1) require(std::isfinite(value));
    for (float value : params.hfov) require(std::isfinite(value));
    for (float value : params.cylinderR) require(std::isfinite(value));
    return 0;
}

// libFuzzer entry: every input goes through both update-image parsers. A
// parse may fail; it must never read outside the input or leave a record
// half filled.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/Logger.h"
#include "image/UpdateImage.h"

namespace {

// Drops every message: the fuzzer only watches for faults.
class QuietLogger : public veltrion::Logger {
public:
    QuietLogger() : Logger(-1) {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QuietLogger logger;
    const std::span<const uint8_t> file(data, size);

    veltrion::UpdatePackage single;
    if (!veltrion::images::parseUpdatePackage(file, single, logger) && !single.fx3.empty()) std::abort();

    veltrion::UnifiedPackage unified;
    if (veltrion::images::parseUpdatePackage(file, unified, logger)) {
        for (size_t i = 0; i < unified.imageCount(); ++i) {
            if (unified.image(i).data() + unified.image(i).size() > unified.body.data() + unified.body.size())
                std::abort();
        }
    } else if (!unified.body.empty()) {
        std::abort();
    }
    return 0;
}

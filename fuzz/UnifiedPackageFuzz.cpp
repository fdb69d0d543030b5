// libFuzzer entry for the unified-package parser and the image choice after
// it: every entry the parser accepts must lie inside the body, and the image
// chosen for each camera of the line goes on through the single-image parser,
// as an update does.

#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "device/CameraIdentity.h"
#include "image/ImageSelection.h"
#include "image/UpdateImage.h"

namespace {

using namespace veltrion;
using fuzzsupport::require;

bool inside(std::span<const uint8_t> part, const std::vector<uint8_t>& body) {
    return part.data() >= body.data() && part.data() + part.size() <= body.data() + body.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::QuietLogger logger;
    UnifiedPackage package;
    if (!images::parseUpdatePackage(std::span<const uint8_t>(data, size), package, logger)) {
        require(package.body.empty() && package.offsets.empty());
        return 0;
    }
    require(package.vendorIds.size() == package.imageCount() && package.lengths.size() == package.imageCount());
    require(package.jsonFile().empty() || inside(package.jsonFile(), package.body));
    for (size_t i = 0; i < package.imageCount(); ++i)
        require(package.image(i).empty() || inside(package.image(i), package.body));
    for (const CameraIdentity& identity : cameraIdentities()) {
        const int entry = chooseImageForCamera(package, identity.vendorId, identity.productId).index;
        if (entry < 0) continue;
        require(static_cast<size_t>(entry) < package.imageCount());
        UpdatePackage single;
        images::parseUpdatePackage(package.image(static_cast<size_t>(entry)), single, logger);
    }
    return 0;
}

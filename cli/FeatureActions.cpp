#include "FeatureActions.h"

#include <cstdint>

#include "CameraSelection.h"

namespace veltrion::cli {

namespace {

// A feature code and a length each travel in a 16-bit request field.
constexpr int kMaxRequestField = 0xFFFF;

}  // namespace

bool displayFeatureValues(const std::string& selector, const std::vector<int>& ids, const std::vector<int>& lengths,
                          Veltrion2CamMgr& mgr) {
    CameraSelection selection;
    if (!parseCameraNumber(mgr, selector, selection)) return false;
    const auto& [paths, all, index] = selection;
    Logger& log = mgr.logger();
    if (ids.size() != lengths.size()) {
        log.log(kLogError, "input fIds %d and fLens %d size mismatched\n", static_cast<int>(ids.size()),
                static_cast<int>(lengths.size()));
        return false;
    }
    std::vector<FeatureValueRequest> requests;
    for (size_t i = 0; i < ids.size(); ++i) {
        // A negative or oversized number would wrap into another feature or length.
        if (ids[i] < 0 || ids[i] > kMaxRequestField || lengths[i] < 0 || lengths[i] > kMaxRequestField) {
            log.log(kLogError, "displayFeatureValues: invalid feature id %d or length %d\n", ids[i], lengths[i]);
            return false;
        }
        requests.push_back({static_cast<uint16_t>(ids[i]), static_cast<uint16_t>(lengths[i]), {}});
    }

    const auto [first, last] = selection.positions();
    for (unsigned position = first; position < last; ++position) {
        if (!mgr.getValuesFromFeatureIDs(paths[position], requests)) {
            log.log(kLogError, "displayFeatureValues: failed on transfer\n");
            return false;
        }
        log.log(kLogInfo, "Cam %u feature values:\n", position);
        for (const FeatureValueRequest& request : requests) {
            log.log(kLogInfo, "%u : 0x", static_cast<unsigned>(request.featureId));
            for (uint8_t byte : request.value) log.log(kLogInfo, "%02x", byte);
            log.log(kLogInfo, "\n");
        }
        log.log(kLogInfo, "\n");
    }
    return true;
}

bool extractJson(const std::string& selector, const std::string& outputFile, Veltrion2CamMgr& mgr) {
    CameraSelection selection;
    if (!parseCameraNumber(mgr, selector, selection)) return false;
    const auto& [paths, all, index] = selection;
    if (all) {
        mgr.logger().log(kLogError, "does not support all cam\n");
        return false;
    }
    return mgr.getJSONFromCam(paths[index], outputFile);
}

}  // namespace veltrion::cli

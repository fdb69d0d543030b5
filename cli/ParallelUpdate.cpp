#include "ParallelUpdate.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "UpdateProgress.h"
#include "UtilsLogger.h"
#include "base/LibraryThread.h"

namespace veltrion::cli {

namespace {

// Hands a camera's lines to the tool's logger with the camera's number in
// front, so the lines of cameras updated at once can be told apart.
class CameraLogger : public Logger {
public:
    CameraLogger(Logger& target, unsigned position)
        : Logger(target.threshold()), target_(target), prefix_("[cam " + std::to_string(position) + "] ") {}

protected:
    void output(const char* text) override { target_.log(kLogError, "%s%s", prefix_.c_str(), text); }

private:
    Logger& target_;
    std::string prefix_;
};

struct CameraJob {
    unsigned position = 0;
    std::string path;
    bool succeeded = false;
    bool updated = false;
};

void updateOneCamera(CameraJob& job, const std::string& imageFile, bool force, bool useVendorChannel) {
    CameraLogger log(toolLogger(), job.position);
    UpdateProgress progress(&log);
    std::unique_ptr<Veltrion2CamMgr> mgr;
    try {
        mgr = std::make_unique<Veltrion2CamMgr>(useVendorChannel);
    } catch (const std::runtime_error& error) {
        log.log(kLogError, "updateCameraFirmwareAllCams: no device object for device %s: %s\n", job.path.c_str(),
                error.what());
        return;
    }
    mgr->setLogger(&log);
    mgr->setProgressCallback(&progress);
    mgr->device()->setLogger(&log);
    mgr->device()->setLogLevel(Logger::kDefaultThreshold);
    job.succeeded = mgr->updateCameraFirmware(force, job.updated, 0, 0, job.path, imageFile);
    if (!job.succeeded)
        log.log(kLogError, "updateCameraFirmwareAllCams: failed to update device %s\n", job.path.c_str());
}

}  // namespace

bool updateAllCamerasAtOnce(const std::string& imageFile, bool force, unsigned jobs, bool useVendorChannel,
                            Veltrion2CamMgr& mgr) {
    Logger& log = mgr.logger();
    std::vector<uint8_t> image;
    if (!mgr.openAndReadFile(imageFile, image)) {
        log.log(kLogError, "updateCameraFirmwareAllCams: failed to read file %s\n", imageFile.c_str());
        return false;
    }
    const bool recovered = mgr.recoverBootModeCameras(image.data(), image.size());
    if (!recovered) log.log(kLogError, "updateCameraFirmwareAllCams: not every boot-mode camera was recovered\n");
    image = {};

    std::vector<std::string> paths;
    if (!mgr.getCameraList(paths)) {
        log.log(kLogError, "updateCameraFirmwareAllCams: no device found\n");
        return recovered;
    }
    std::vector<CameraJob> cameras(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) cameras[i] = {static_cast<unsigned>(i), paths[i]};

    // Each worker takes the next camera until none is left.
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i = next++; i < cameras.size(); i = next++)
            updateOneCamera(cameras[i], imageFile, force, useVendorChannel);
    };
    std::vector<std::thread> workers;
    const size_t count = std::min<size_t>(jobs, cameras.size());
    for (size_t i = 0; i < count; ++i) workers.push_back(startLibraryThread(work));
    for (auto& worker : workers) worker.join();

    const auto failed = static_cast<size_t>(
        std::count_if(cameras.begin(), cameras.end(), [](const CameraJob& job) { return !job.succeeded; }));
    const bool anyUpdated = std::any_of(cameras.begin(), cameras.end(), [](const CameraJob& job) { return job.updated; });
    if (failed > 0) {
        log.log(kLogError, "updateCameraFirmwareAllCams: %zu of %zu cameras failed\n", failed, cameras.size());
        return false;
    }
    if (anyUpdated) log.log(kLogInfo, "Update Successful: Please reboot all cameras\n");
    return recovered;
}

}  // namespace veltrion::cli

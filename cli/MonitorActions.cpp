#include "MonitorActions.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "CameraSelection.h"

namespace veltrion::cli {

namespace {

// Set by Ctrl-C (in the signal handler) or a device error (on the monitor's
// thread), polled by the main thread every 100 ms. A lock-free atomic is safe
// in both places; a plain volatile flag would be a data race with the thread.
std::atomic<int> stopMonitoring{1};
static_assert(std::atomic<int>::is_always_lock_free);
constexpr auto kStopPoll = std::chrono::milliseconds(100);
// Set with the stop flag when a device error ended the monitor: the run fails.
std::atomic<bool> deviceFailed{false};

void consoleCtrlHandler(int) {
    // Only async-signal-safe work here: the flag and one write(2).
    static constexpr char kCancelling[] = "cancelling Face data monitor\n\n";
    [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, kCancelling, sizeof kCancelling - 1);
    stopMonitoring = 1;
}

// Installs the Ctrl-C handler for the length of a monitor run.
class CtrlHandler {
public:
    CtrlHandler() {
        struct sigaction action {};
        action.sa_handler = consoleCtrlHandler;
        sigemptyset(&action.sa_mask);
        installed_ = ::sigaction(SIGINT, &action, &previous_) == 0;
    }
    ~CtrlHandler() {
        if (installed_) ::sigaction(SIGINT, &previous_, nullptr);
    }
    CtrlHandler(const CtrlHandler&) = delete;
    CtrlHandler& operator=(const CtrlHandler&) = delete;
    bool installed() const { return installed_; }

private:
    struct sigaction previous_ {};
    bool installed_ = false;
};

class SFDataHanlder : public OnSFROIDataCallback, public OnSFRawFaceDataCallback {
public:
    void onROIData(uint32_t roi) override {
        std::printf("ROI: startX %hu, endX %hu\n", static_cast<unsigned short>(roi & 0xFFFF),
                    static_cast<unsigned short>(roi >> 16));
    }
    void onNoROIData() override { std::printf("No ROI...\n"); }
    void onROIError(const std::string& error) override {
        std::printf("ROI device error: %s\n", error.c_str());
        deviceFailed = true;
        stopMonitoring = 1;
    }

    void onRawFaceData(const std::vector<FaceRecord>& isp0, const std::vector<FaceRecord>& isp1,
                       const std::vector<FaceRecord>& isp2) override {
        int isp = 0;
        for (const auto* faces : {&isp0, &isp1, &isp2}) {
            std::printf("ISP %d faces:\n", isp++);
            // The face number is the slot the ISP reported it in.
            for (const auto& face : *faces)
                std::printf("face %u at (%u, %u, %u, %u)\n", face.slot, face.left, face.top, face.right, face.bottom);
        }
    }
    void onStreamingStatus(bool streaming) override { std::printf("isStreaming = %d\n", streaming ? 1 : 0); }
    void onNoRawFaceData() override { std::printf("No Raw Face Data...\n"); }
    void onRawFaceError(const std::string& error) override {
        std::printf("Raw Face device error: %s\n", error.c_str());
        deviceFailed = true;
        stopMonitoring = 1;
    }
};

enum class MonitorKind { Roi, RawFace };

// Picks the camera, checks that it has booted and starts its monitor.
bool startMonitor(MonitorKind kind, const std::string& selector, Veltrion2CamMgr& mgr, SFDataHanlder& handler,
                  std::string& path) {
    Logger& log = mgr.logger();
    CameraSelection selection;
    if (!parseCameraNumber(mgr, selector, selection) || selection.all) return false;
    const std::string& chosen = selection.paths[selection.index];
    CameraInfo info;
    if (!mgr.getVeltrion2Info(info, chosen)) {
        log.log(kLogInfo, "failed to get cam info\n");
        return false;
    }
    if (!info.systemReady) {
        log.log(kLogInfo, "camera not ready yet, please try again when it fully booted\n");
        return false;
    }
    // Cleared before the thread starts, so an error in its first cycle ends the wait.
    stopMonitoring = 0;
    const bool started = kind == MonitorKind::Roi ? mgr.startVeltrionSFROIMonitorThread(&handler, chosen)
                                                  : mgr.startVeltrionSFRawFaceMonitorThread(&handler, chosen);
    if (!started) {
        stopMonitoring = 1;
        log.log(kLogInfo, kind == MonitorKind::Roi ? "failed to start SF ROI monitor\n"
                                                   : "failed to start SF RawFace monitor\n");
        return false;
    }
    path = chosen;
    return true;
}

bool runMonitor(MonitorKind kind, const std::string& selector, Veltrion2CamMgr& mgr) {
    CtrlHandler ctrlHandler;
    if (!ctrlHandler.installed()) {
        std::printf("cannot set ctrl handler\n");
        return false;
    }
    stopMonitoring = 1;
    deviceFailed = false;
    std::string path;
    SFDataHanlder handler;
    if (!startMonitor(kind, selector, mgr, handler, path)) return false;
    std::printf("Press Ctrl-C to cancel...\n");
    while (!stopMonitoring) std::this_thread::sleep_for(kStopPoll);
    if (kind == MonitorKind::Roi)
        mgr.stopV2sSFROIMonitorThread(path);
    else
        mgr.stopVeltrionSFRawFaceMonitorThread(path);
    // Ctrl-C ends a monitor that worked; a device error ends one that failed.
    return !deviceFailed;
}

}  // namespace

bool runROIMonitor(const std::string& selector, Veltrion2CamMgr& mgr) {
    return runMonitor(MonitorKind::Roi, selector, mgr);
}

bool runRawFaceMonitor(const std::string& selector, Veltrion2CamMgr& mgr) {
    return runMonitor(MonitorKind::RawFace, selector, mgr);
}

}  // namespace veltrion::cli

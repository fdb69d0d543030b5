// The automatic-framing ROI monitor and the raw-face monitor: background
// threads that poll a camera about once a second through device objects of
// their own and report through the program's callbacks.

#include <array>
#include <cstdarg>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "base/WaitClock.h"
#include "base/LibraryThread.h"
#include "manager/Veltrion2CamMgr.h"

namespace veltrion {

namespace {

using Clock = WaitClock;  // follows a replayed recording's time

// Monitor requests on 0xFD.
constexpr uint16_t kIndexMode = 0x22;  // ROI mode query, ISP select
constexpr uint16_t kIndexData = 0x23;  // ROI record, ready flag, face block
constexpr uint16_t kRoiModeValue = 3;
constexpr uint8_t kRoiSupported = 1;
constexpr uint8_t kIspSelected = 1;
constexpr uint8_t kFaceDataReady = 0xFF;
constexpr int kIspCount = 3;
constexpr int kReadyPolls = 10;

constexpr auto kCycle = std::chrono::milliseconds(1000);
constexpr auto kStopCheck = std::chrono::milliseconds(100);
constexpr size_t kErrorTextSize = 1024;

std::string errorText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string errorText(const char* format, ...) {
    char text[kErrorTextSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

bool cycleDue(Clock::time_point& lastPoll) {
    const auto now = Clock::now();
    if (now - lastPoll < kCycle) return false;
    lastPoll = now;
    return true;
}

}  // namespace

// Stops a monitor of either kind: sets its flag, joins its thread, closes
// its device and forgets it.
bool Veltrion2CamMgr::stopMonitor(std::map<std::string, std::unique_ptr<MonitorThread>>& registry,
                                  const std::string& devPath, const char* operation) {
    const auto found = registry.find(devPath);
    if (found == registry.end()) {
        logger_->log(kLogInfo, "%s failed - device %s has not started roi monitoring yet\n", operation,
                     devPath.c_str());
        return false;
    }
    MonitorThread& monitor = *found->second;
    monitor.stop.store(true);
    if (monitor.thread.joinable())
        monitor.thread.join();
    else
        logger_->log(kLogError, "%s: thread is not joinable??\n", operation);
    monitor.device->closeVeltrion2Dev();
    registry.erase(found);
    return true;
}

// A monitor record with a device object of its own, for a start that has
// its callback; null, with the failure logged, otherwise.
std::unique_ptr<MonitorThread> Veltrion2CamMgr::newMonitor(bool hasCallback, const std::string& devPath,
                                                           const char* operation) {
    if (!hasCallback) {
        logger_->log(kLogError, "%s failed - invalid callback\n", operation);
        return nullptr;
    }
    auto monitor = std::make_unique<MonitorThread>();
    monitor->devPath = devPath;
    try {
        monitor->device = createDevice();
    } catch (const std::runtime_error&) {
        // No device object on this channel: reported below.
    }
    if (!monitor->device) {
        logger_->log(kLogError, "%s failed - no device\n", operation);
        return nullptr;
    }
    monitor->device->setLogger(&logger_.get());
    return monitor;
}

// ---- ROI monitor ----

bool Veltrion2CamMgr::startVeltrionSFROIMonitorThread(OnSFROIDataCallback* callback, const std::string& devPath) {
    static constexpr const char* kName = "Veltrion2CamMgr::startVeltrionSFROIMonitorThread";
    if (roiMonitors_.count(devPath)) {
        logger_->log(kLogInfo, "%s failed - device %s has already started roi monitoring\n", kName, devPath.c_str());
        return true;
    }
    auto monitor = newMonitor(callback != nullptr, devPath, kName);
    if (!monitor) return false;
    if (!monitor->device->openVeltrion2Dev(devPath)) {
        logger_->log(kLogError, "%s failed - cannot open %s\n", kName, devPath.c_str());
        return false;
    }
    uint8_t reply = 0xFF;
    if (!monitor->device->sendUsbControlTransfer(vreq::kTypeIn, vreq::kMonitorData, kRoiModeValue, kIndexMode, &reply,
                                                 1)) {
        logger_->log(kLogError, "%s failed - vendor command failed to set ROI mode\n", kName);
        monitor->device->closeVeltrion2Dev();
        return false;
    }
    if (reply != kRoiSupported) {
        logger_->log(kLogError, "%s failed - ROI monitor not supported for this camera\n", kName);
        monitor->device->closeVeltrion2Dev();
        return false;
    }
    // Registered before its thread starts, so nothing can fail once it runs.
    MonitorThread& running = *(roiMonitors_[devPath] = std::move(monitor));
    try {
        running.thread = startLibraryThread(&Veltrion2CamMgr::runROIMonitor, this, std::ref(running), callback);
    } catch (const std::system_error&) {
        logger_->log(kLogError, "%s failed - no memory ROIMonitorThread\n", kName);
        running.device->closeVeltrion2Dev();
        roiMonitors_.erase(devPath);
        return false;
    }
    return true;
}

void Veltrion2CamMgr::runROIMonitor(MonitorThread& monitor, OnSFROIDataCallback* callback) {
    Clock::time_point lastPoll{};
    std::string error;
    while (!monitor.stop.load()) {
        if (cycleDue(lastPoll)) {
            if (monitor.stop.load()) break;
            std::array<uint8_t, kRoiRecordSize> record{};
            if (!monitor.device->sendUsbControlTransfer(vreq::kTypeIn, vreq::kMonitorData, 0, kIndexData,
                                                        record.data(), kRoiRecordSize)) {
                error = "control transfer pull ROI data failed";
                break;
            }
            const RoiRecord roi = *decodeRoiRecord(record);
            if (roi.present && roi.endX < roi.startX) {
                error = "ROI start X > end X";
                break;
            }
            if (roi.present)
                callback->onROIData(roi.word());
            else
                callback->onNoROIData();
        }
        WaitClock::sleepFor(kStopCheck);
    }
    if (!error.empty()) callback->onROIError(error);
}

bool Veltrion2CamMgr::stopV2sSFROIMonitorThread(const std::string& devPath) {
    return stopMonitor(roiMonitors_, devPath, "Veltrion2CamMgr::stopV2sSFROIMonitorThread");
}

void Veltrion2CamMgr::stopAllROIMonitors() {
    std::vector<std::string> paths;
    for (const auto& entry : roiMonitors_) paths.push_back(entry.first);
    for (const auto& path : paths) stopV2sSFROIMonitorThread(path);
}

// ---- raw-face monitor ----

bool Veltrion2CamMgr::startVeltrionSFRawFaceMonitorThread(OnSFRawFaceDataCallback* callback,
                                                          const std::string& devPath) {
    static constexpr const char* kName = "Veltrion2CamMgr::startVeltrionSFRawFaceMonitorThread";
    if (rawFaceMonitors_.count(devPath)) {
        logger_->log(kLogInfo, "%s failed - device %s has already started roi monitoring\n", kName, devPath.c_str());
        return true;
    }
    auto monitor = newMonitor(callback != nullptr, devPath, kName);
    if (!monitor) return false;
    MonitorThread& running = *(rawFaceMonitors_[devPath] = std::move(monitor));
    try {
        running.thread = startLibraryThread(&Veltrion2CamMgr::runRawFaceMonitor, this, std::ref(running), callback);
    } catch (const std::system_error&) {
        logger_->log(kLogError, "%s failed - no memory RawFaceMonitorThread\n", kName);
        rawFaceMonitors_.erase(devPath);
        return false;
    }
    return true;
}

void Veltrion2CamMgr::runRawFaceMonitor(MonitorThread& monitor, OnSFRawFaceDataCallback* callback) {
    Clock::time_point lastCycle{};
    while (!monitor.stop.load()) {
        if (cycleDue(lastCycle)) {
            if (monitor.stop.load()) break;
            bool stopped = false;
            const std::string error = readRawFaces(monitor, callback, stopped);
            monitor.device->closeVeltrion2Dev();
            if (stopped) return;
            if (!error.empty()) {
                callback->onRawFaceError(error);
                return;
            }
        }
        WaitClock::sleepFor(kStopCheck);
    }
}

std::string Veltrion2CamMgr::readRawFaces(MonitorThread& monitor, OnSFRawFaceDataCallback* callback, bool& stopped) {
    B6Device& device = *monitor.device;
    if (!device.openVeltrion2Dev(monitor.devPath)) return errorText("cannot open device %s", monitor.devPath.c_str());
    uint8_t streaming = 0xFF;
    if (!device.sendUsbControlTransfer(vreq::kTypeIn, vreq::kQuery, vreq::kQueryStreamingValue, vreq::kQueryStreaming,
                                       &streaming, 1))
        return "Cannot get cam stream state\n";
    callback->onStreamingStatus(streaming == vreq::kStreamingActive);

    std::array<std::vector<FaceRecord>, kIspCount> faces;
    for (int isp = 0; isp < kIspCount; ++isp) {
        uint8_t selected = 0;
        if (!device.sendUsbControlTransfer(vreq::kTypeIn, vreq::kMonitorData, static_cast<uint16_t>(isp), kIndexMode,
                                           &selected, 1))
            return errorText("control transfer set up ISP %d failed\n", isp);
        if (selected != kIspSelected) return errorText("setup ISP %d failed, ret = %x\n", isp, selected);
        for (int poll = 0; poll < kReadyPolls; ++poll) {
            uint8_t ready = 0;
            if (!device.sendUsbControlTransfer(vreq::kTypeIn, vreq::kMonitorData, 0, kIndexData, &ready, 1))
                return errorText("control transfer data ready ISP %d failed\n", isp);
            if (ready == kFaceDataReady) {
                std::array<uint8_t, kFaceBlockSize> block{};
                if (!device.sendUsbControlTransfer(vreq::kTypeIn, vreq::kMonitorData, 0, kIndexData, block.data(),
                                                   kFaceBlockSize))
                    return errorText("control transfer read ISP %d failed\n", isp);
                if (block[0] != kRecordPresent)
                    return errorText("control transfer read ISP %d inconsistent ready flag = %x\n", isp, block[0]);
                faces[static_cast<size_t>(isp)] = decodeFaceBlock(block);
                break;
            }
            if (monitor.stop.load()) {
                stopped = true;
                return {};
            }
            WaitClock::sleepFor(faceReadyPause_);
        }
    }
    device.closeVeltrion2Dev();
    if (monitor.stop.load()) {
        stopped = true;
        return {};
    }
    if (faces[0].empty() && faces[1].empty() && faces[2].empty())
        callback->onNoRawFaceData();
    else
        callback->onRawFaceData(faces[0], faces[1], faces[2]);
    return {};
}

bool Veltrion2CamMgr::stopVeltrionSFRawFaceMonitorThread(const std::string& devPath) {
    return stopMonitor(rawFaceMonitors_, devPath, "Veltrion2CamMgr::stopVeltrionSFRawFaceMonitorThread");
}

void Veltrion2CamMgr::stopAllRawFaceMonitors() {
    std::vector<std::string> paths;
    for (const auto& entry : rawFaceMonitors_) paths.push_back(entry.first);
    for (const auto& path : paths) stopVeltrionSFRawFaceMonitorThread(path);
}

}  // namespace veltrion

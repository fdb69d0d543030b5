#include "DeviceActions.h"

#include <vector>

#include "CameraSelection.h"

namespace veltrion::cli {

namespace {

void logInfoBlock(Logger& log, unsigned position, const CameraInfo& info) {
    log.log(kLogInfo, "Device %u found:\n", position);
    log.log(kLogInfo, "Vendor ID    = 0x%04x\n", info.vendorId);
    log.log(kLogInfo, "Product ID   = 0x%04x\n", info.productId);
    log.log(kLogInfo, "USB Bus Type = 0x%04x\n", info.usbBusType);
    log.log(kLogInfo, "SerialNumber = %s\n", info.serialNumber.c_str());
    log.log(kLogInfo, "FPGA_Version = 0x%x\n", info.fpgaVersion);
    log.log(kLogInfo, "FX3_Version  = 0x%x\n", info.fx3Version);
    log.log(kLogInfo, "Audio_version= 0x%08x\n", info.audioVersion);
    log.log(kLogInfo, "ISP_version= 0x%08x\n", info.ispVersion);
    log.log(kLogInfo, "System Ready = %d\n", info.systemReady ? 1 : 0);
}

// The state lines of a booted camera; each query stands on its own, so one
// failure does not hide the others. False when any of them failed.
bool logStateLines(Veltrion2CamMgr& mgr, Logger& log, unsigned position, const std::string& path) {
    bool ok = true;

    int usbType = 0;
    if (mgr.getUSBType(path, usbType)) {
        log.log(kLogInfo, "\nUSB Type = %d\n", usbType);
    } else {
        log.log(kLogError, "failed to get cam %u usb type\n", position);
        ok = false;
    }

    int externalPower = 0;
    if (mgr.getExternalPowerPresent(path, externalPower)) {
        log.log(kLogInfo, "5V external power present = %d\n", externalPower);
    } else {
        log.log(kLogError, "failed to get cam %u power status\n", position);
        ok = false;
    }

    bool streaming = false;
    if (mgr.getCamStreamingStatus(path, streaming)) {
        log.log(kLogInfo, "camera streaming status = %d\n", streaming ? 1 : 0);
    } else {
        log.log(kLogError, "failed to get cam %u streaming status\n", position);
        ok = false;
    }
    return ok;
}

}  // namespace

bool displayDeviceInfo(const std::string& selector, Veltrion2CamMgr& mgr) {
    CameraSelection selection;
    if (!parseCameraNumber(mgr, selector, selection)) return false;
    const auto& [paths, all, index] = selection;

    Logger& log = mgr.logger();
    const auto [first, last] = selection.positions();
    bool ok = true;
    bool shownAny = false;
    for (unsigned position = first; position < last; ++position) {
        const std::string& path = paths[position];
        CameraInfo info;
        if (!mgr.getVeltrion2Info(info, path)) {
            log.log(kLogError, "failed to get cam %u info\n", position);
            ok = false;
            continue;
        }
        if (shownAny) log.log(kLogInfo, "\n");
        shownAny = true;
        logInfoBlock(log, position, info);
        if (info.systemReady && !logStateLines(mgr, log, position, path)) ok = false;
    }
    return ok;
}

bool rebootCameras(Veltrion2CamMgr& mgr, const std::string& selector) {
    CameraSelection selection;
    if (!parseCameraNumber(mgr, selector, selection)) return false;
    const auto& [paths, all, index] = selection;
    if (all) return mgr.rebootAllVeltrion2Camera();
    return mgr.rebootDevice(paths[index]);
}

}  // namespace veltrion::cli

#include "ConfigActions.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "CalibrationFile.h"
#include "CameraSelection.h"

namespace veltrion::cli {

namespace {

// The EEPROM is addressed with 16 bits; a larger address would wrap.
constexpr uint32_t kMaxEepromAddress = 0xFFFF;

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileClose>;

void logCalibration(Logger& log, unsigned position, const CalibrationParams& p) {
    log.log(kLogInfo, "V2s Cam %u calibration parameters:\n", position);
    log.log(kLogInfo, "focal length 0: %.3f\n", static_cast<double>(p.focalLength[0]));
    log.log(kLogInfo, "focal length 1: %.3f\n", static_cast<double>(p.focalLength[1]));
    log.log(kLogInfo, "focal length 2: %.3f\n", static_cast<double>(p.focalLength[2]));
    log.log(kLogInfo, "k1 0: %.3f\n", static_cast<double>(p.k1[0]));
    log.log(kLogInfo, "k1 1: %.3f\n", static_cast<double>(p.k1[1]));
    log.log(kLogInfo, "k1 2: %.3f\n", static_cast<double>(p.k1[2]));
    log.log(kLogInfo, "hfov 0: %.3f\n", static_cast<double>(p.hfov[0]));
    log.log(kLogInfo, "hfov 1: %.3f\n", static_cast<double>(p.hfov[1]));
    log.log(kLogInfo, "hfov 2: %.3f\n", static_cast<double>(p.hfov[2]));
    log.log(kLogInfo, "overlapx 0: %d\n", p.overlapx[0]);
    log.log(kLogInfo, "overlapx 1: %d\n", p.overlapx[1]);
    log.log(kLogInfo, "overlapy 0: %d\n", p.overlapy[0]);
    log.log(kLogInfo, "overlapy 1: %d\n", p.overlapy[1]);
    log.log(kLogInfo, "cylinderR 0: %.3f\n", static_cast<double>(p.cylinderR[0]));
    log.log(kLogInfo, "cylinderR 1: %.3f\n", static_cast<double>(p.cylinderR[1]));
}

}  // namespace

bool displayConfigBlock(const std::string& selector, Veltrion2CamMgr& mgr) {
    CameraSelection selection;
    if (!parseCameraNumber(mgr, selector, selection)) return false;
    const auto& [paths, all, index] = selection;

    Logger& log = mgr.logger();
    const auto [first, last] = selection.positions();
    bool ok = true;
    bool shownAny = false;
    for (unsigned position = first; position < last; ++position) {
        CamConfigBlock block;
        if (!mgr.getVeltrion2CamConfigBlock(block, paths[position])) {
            log.log(kLogError, "failed to get cam %u config block\n", position);
            ok = false;
            continue;
        }
        if (shownAny) log.log(kLogInfo, "\n");
        shownAny = true;
        log.log(kLogInfo, "Device %u found:\n", position);
        mgr.printConfigBlock(block);
    }
    return ok;
}

bool displayEEPROMData(const std::string& selector, uint32_t address, uint32_t length, Veltrion2CamMgr& mgr) {
    CameraSelection selection;
    if (!parseCameraNumber(mgr, selector, selection)) return false;
    const auto& [paths, all, index] = selection;
    Logger& log = mgr.logger();
    if (all) {
        log.log(kLogError, "displayEEPROMData: not support all cam\n");
        return false;
    }
    if (address > kMaxEepromAddress) {
        log.log(kLogError, "displayEEPROMData: addr %x beyond the EEPROM's 16-bit addresses\n", address);
        return false;
    }
    // Checked before the buffer is allocated, so a huge length costs nothing.
    if (length > Veltrion2CamMgr::kMaxEepromReadLength) {
        log.log(kLogError, "displayEEPROMData: length %u above the %u-byte limit of one read\n", length,
                static_cast<unsigned>(Veltrion2CamMgr::kMaxEepromReadLength));
        return false;
    }
    std::vector<uint8_t> data(length);
    if (!mgr.getEEPROMValue(paths[index], static_cast<uint16_t>(address), data)) return false;
    log.log(kLogInfo, "0x");
    for (uint8_t byte : data) log.log(kLogInfo, "%02x", byte);
    log.log(kLogInfo, "\n");
    return true;
}

bool readCalibration(const std::string& selector, Veltrion2CamMgr& mgr) {
    CameraSelection selection;
    if (!parseCameraNumber(mgr, selector, selection)) return false;
    const auto& [paths, all, index] = selection;

    // With "all", a camera without readable parameters is named and skipped,
    // so the others are still shown; the run then fails.
    const auto [first, last] = selection.positions();
    bool ok = true;
    for (unsigned position = first; position < last; ++position) {
        CalibrationParams params;
        if (!mgr.getCalibrationParam(paths[position], params)) {
            if (all)
                mgr.logger().log(kLogError, "V2s Cam %u has no readable calibration parameters, skipped\n",
                                 position);
            ok = false;
            continue;
        }
        logCalibration(mgr.logger(), position, params);
    }
    return ok;
}

bool writeCalibration(const std::string& selector, const std::string& argFile, Veltrion2CamMgr& mgr) {
    CameraSelection selection;
    if (!parseCameraNumber(mgr, selector, selection)) return false;
    const auto& [paths, all, index] = selection;
    if (all) {
        std::printf("not support all camera\n");
        return false;
    }
    const FilePtr file(std::fopen(argFile.c_str(), "r"));
    if (!file) {
        std::printf("failed to open arg file %s\n", argFile.c_str());
        return false;
    }
    // Values the file does not name keep what the camera holds, or zero when
    // it never held any. A camera that cannot be read is not written: zeros
    // would replace values it holds.
    CalibrationParams params;
    bool written = false;
    if (!mgr.readCalibrationParam(paths[index], params, written)) {
        mgr.logger().log(kLogError, "unable to read the existing calib params of cam %u, nothing written\n", index);
        return false;
    }
    if (!written) std::printf("failed to get existing calib params, maybe nothing has written before.\n");
    if (!applyCalibrationFile(file.get(), params)) return false;
    return mgr.programCalibrationParam(params, paths[index]);
}

}  // namespace veltrion::cli

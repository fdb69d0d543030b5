#include "ReportActions.h"

#include "CameraSelection.h"
#include "format/ReportText.h"

namespace veltrion::cli {

namespace {

// The folder -z writes into, relative to the working directory.
constexpr const char* kReportDir = "report";
// The console report always sums the FPGA image too.
constexpr bool kReportWithFpga = true;

}  // namespace

bool createReport(const std::string& selector, Veltrion2CamMgr& mgr) {
    CameraSelection selection;
    if (!parseCameraNumber(mgr, selector, selection)) return false;
    Logger& log = mgr.logger();
    if (selection.all) {
        log.log(kLogError, "createReport: not support all cam\n");
        return false;
    }
    // A folder left by an earlier run is used again.
    if (!mgr.createDir(kReportDir)) {
        log.log(kLogError, "createReport: failed to create report directory\n");
        return false;
    }
    if (!mgr.generateDeviceReport(kReportWithFpga, selection.paths[selection.index], kReportDir))
        log.log(kLogError, "\n\ngenerateDeviceReport() failed\n");
    // The report was attempted: what it found is in its file and the log.
    // A report (or dump) that is not on disk whole is no report.
    return mgr.reportFilesWritten();
}

bool displaySelfTestInfo(const std::string& selector, Veltrion2CamMgr& mgr) {
    CameraSelection selection;
    if (!parseCameraNumber(mgr, selector, selection)) return false;
    Logger& log = mgr.logger();
    const auto [first, last] = selection.positions();
    for (unsigned position = first; position < last; ++position) {
        if (position != first) log.log(kLogInfo, "\n");
        CameraInfo info;
        const std::string serial = mgr.getVeltrion2Info(info, selection.paths[position])
                                       ? printableLine(info.serialNumber)
                                       : std::string();
        log.log(kLogInfo, "Device %d (serial number %s) self-testing info:\n", static_cast<int>(position),
                serial.c_str());
        mgr.dumpBISTInfo(selection.paths[position]);
    }
    // Self-test failures are only reported.
    return true;
}

}  // namespace veltrion::cli

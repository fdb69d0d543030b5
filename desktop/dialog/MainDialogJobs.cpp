// The window's jobs: the firmware update and the device report, each on a
// worker thread, with the busy state that keeps the window, the session and
// the camera list from interrupting them.

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QSessionManager>
#include <QTabBar>
#include <QTabWidget>

#include <cerrno>
#include <sys/stat.h>

#include "dialog/CameraJob.h"
#include "dialog/MainDialog.h"
#include "dialog/MessageBox.h"
#include "diagnostics/DiagnosticsTab.h"
#include "diagnostics/ReportPackaging.h"
#include "features/FeaturesTab.h"

namespace veltrion::desktop {

// ---- shared by both jobs ----

bool MainDialog::isCamStreaming() {
    const int index = selectedDeviceIndex();
    if (index < 0) {
        model_.logger().log(kLogError, "isCamStreaming: invalid device index %d\n", index);
        return false;
    }
    const auto camera = model_.resolve(index, "isDevStreaming");
    bool streaming = false;
    if (!camera || !model_.isDevStreaming(*camera, streaming)) {
        model_.logger().log(kLogError, "isCamStreaming: failed to get streaming status\n");
        return false;
    }
    return streaming;
}

void MainDialog::rebootCamera(const CameraRef& camera, bool restartTimer1) {
    model_.rebootDevice(camera);
    awaitRebootedCamera(camera.serial);
    if (restartTimer1) statusTimer_.start();
}

std::optional<CameraRef> MainDialog::jobCamera(const char* job, const char* operation) {
    // The job's camera is fixed now; its thread never looks the index up again.
    const int index = selectedDeviceIndex();
    if (index < 0) {
        model_.logger().log(kLogError, "%s: invalid device index %d\n", job, index);
        return std::nullopt;
    }
    return model_.resolve(index, operation);
}

bool MainDialog::isJobCamera(CameraRef& camera, const std::string& shownSerial, const char* job,
                             const char* operation) {
    if (!model_.identify(camera, operation)) return false;
    if (camera.serial == shownSerial) return true;
    model_.logger().log(kLogError, "%s: the camera found is %s, not the selected camera %s; nothing is written\n", job,
                        camera.serial.c_str(), shownSerial.c_str());
    return false;
}

void MainDialog::enterBusyState(const QString& reason) {
    statusTimer_.stop();
    idle_ = false;
    inhibitor_.block(reason, model_.logger());
}

void MainDialog::leaveBusyState() {
    idle_ = true;
    inhibitor_.release(model_.logger());
    statusTimer_.start();
}

void MainDialog::onStatusTick() {
    cameraCombo_->setEnabled(true);
    tabs_->tabBar()->setEnabled(true);
    // Without hot-plug events too, the list is read again until a camera the
    // program rebooted is back.
    if (rescanAfterRebootUntil_ != std::chrono::steady_clock::time_point{}) {
        if (std::chrono::steady_clock::now() > rescanAfterRebootUntil_)
            awaitRebootedCamera(std::string());
        else if (idle_) {
            rescan();
            return;
        }
    }
    refreshStatus();
}

// ---- firmware update ----

void MainDialog::onUpdateClicked() { startUpdateJob(std::string()); }

void MainDialog::startUpdate() { startUpdateJob(identityMode_ ? targetIdentity_ : std::string()); }

void MainDialog::startUpdateJob(const std::string& targetIdentity) {
    if (isCamStreaming()) {
        showMessageBox(this, QString::fromLatin1(kCameraInUseMessage));
        return;
    }
    if (updateThread_) {
        model_.logger().log(kLogInfo, "Update already started\n");
        return;
    }
    const std::optional<CameraRef> camera = jobCamera("startUpdateProcess", "updateDevice");
    const std::string shownSerial = serial_;
    updateThread_ = WorkerThread::create([this, camera, shownSerial, targetIdentity]() -> int {
        if (!camera) return 2;
        CameraRef resolved = *camera;
        if (!isJobCamera(resolved, shownSerial, "startUpdateProcess", "updateDevice")) return 2;
        CameraJob job(model_, resolved, targetIdentity);
        const int exitCode = job.runUpdateSequence();
        if (exitCode != 0) return exitCode;
        job.reboot();
        // The window's timers belong to its thread: the wait is queued there.
        QMetaObject::invokeMethod(this, [this, serial = resolved.serial] { awaitRebootedCamera(serial); },
                                  Qt::QueuedConnection);
        return 0;
    });
    if (!updateThread_) {
        model_.logger().log(kLogError, "Failed to create update thread\n");
        return;
    }

    enterBusyState(QStringLiteral("Camera firmware update in progress"));
    updateTimer_.start();
    warningText_->setText(QStringLiteral("DO **NOT** DISCONNECT Veltrion Camera DURING UPDATE"));
    model_.logger().log(kLogInfo, "update starting...\n");
    disableUpdateControls();
    removeCameraTabs();
    tabs_->setCurrentIndex(kUpdateTab);
    updateThread_->start();
}

void MainDialog::onUpdateProgressTick() {
    if (!updateThread_) {
        model_.logger().log(kLogError, "no thread but update event is checked???");
        updateTimer_.stop();
        idle_ = true;
        inhibitor_.release(model_.logger());
        return;
    }
    if (!updateThread_->finished()) {
        int percent = 0;
        std::string component;
        model_.readProgress(percent, component);
        setUpdateCaption(QString::asprintf("Updating %s ...... %d%%", component.c_str(), percent));
        return;
    }
    const int exitCode = updateThread_->exitCode();
    updateThread_.reset();
    updateTimer_.stop();
    leaveBusyState();
    warningText_->clear();
    if (exitCode != 0) {
        model_.logger().log(kLogError, "update thread ret = %u\n", static_cast<unsigned>(exitCode));
        showMessageBox(this, QStringLiteral("Update Failed! Please check log for more information"));
    }
}

// ---- device report ----

void MainDialog::onReportClicked() {
    if (reportThread_) {
        model_.logger().log(kLogInfo, "report already started\n");
        return;
    }
    const std::string folder = diagnosticsTab_->baseFolder() + "/VeltrionReport";
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        model_.logger().log(kLogError, "failed to create report directory\n");
        showMessageBox(this, QStringLiteral("Failed to create report directory %1\n").arg(QString::fromStdString(folder)));
        return;
    }
    reportFolder_ = folder;
    if (!copyFile(reportFolder_ + "/log.txt", logFilePath_, model_.logger())) {
        model_.logger().log(kLogError, "Failed to copy log file to report dir\n");
        diagnosticsTab_->setResultText(QStringLiteral("Report Generation failed. Cannot copy log file to report dir."));
        return;
    }
    const std::optional<CameraRef> camera = jobCamera("startReportProcess", "generateDeviceReport");
    const bool fullReport = !diagnosticsTab_->quickReport();
    const std::string shownSerial = serial_;
    reportThread_ = WorkerThread::create([this, camera, shownSerial, fullReport, folder]() -> int {
        if (!camera) return 2;
        CameraRef resolved = *camera;
        if (!isJobCamera(resolved, shownSerial, "startReportProcess", "generateDeviceReport")) return 2;
        return model_.generateDeviceReport(resolved, folder, fullReport) ? 0 : 2;
    });
    if (!reportThread_) {
        model_.logger().log(kLogError, "Failed to create report thread\n");
        return;
    }

    diagnosticsTab_->setControlsEnabled(false);
    tabs_->tabBar()->setEnabled(false);
    diagnosticsTab_->setResultText(QStringLiteral("Report Generating... DO NOT DISCONNECT Veltrion Camera"));
    enterBusyState(QStringLiteral("Camera report generation in progress"));
    reportTimer_.start();
    reportThread_->start();
}

void MainDialog::onReportEndTick() {
    if (!reportThread_) {
        model_.logger().log(kLogError, "no thread but report event is checked???\n");
        reportTimer_.stop();
        idle_ = true;
        inhibitor_.release(model_.logger());
        return;
    }
    if (!reportThread_->finished()) return;
    const int exitCode = reportThread_->exitCode();
    reportThread_.reset();
    reportTimer_.stop();
    leaveBusyState();
    tabs_->tabBar()->setEnabled(true);
    diagnosticsTab_->setControlsEnabled(true);
    if (exitCode == 0) {
        const std::string zipPath = reportFolder_ + ".zip";
        if (createZip(reportFolder_, model_.logger()))
            diagnosticsTab_->setResultText(QStringLiteral("Report Generated at ") + QString::fromStdString(zipPath) +
                                           QStringLiteral(". Please reboot the Veltrion Camera."));
        else
            diagnosticsTab_->setResultText(QStringLiteral("Report Generated at ") +
                                           QString::fromStdString(reportFolder_) +
                                           QStringLiteral("/, but failed to zip the folder."));
        return;
    }
    model_.logger().log(kLogError, "report thread ret = %u\n", static_cast<unsigned>(exitCode));
    diagnosticsTab_->setResultText(QStringLiteral("Report Generation Failed! Please check log for more information."));
}

// ---- closing ----

QString MainDialog::closeRefusal() const {
    if (reportThread_) return QStringLiteral("DO NOT exit while report is being generated");
    if (updateThread_ || !idle_) return QStringLiteral("DO NOT exit while camera is being updated");
    return {};
}

bool MainDialog::mayClose() {
    const QString refusal = closeRefusal();
    if (!refusal.isEmpty()) {
        showMessageBox(this, refusal);
        return false;
    }
    statusTimer_.stop();
    holdTimer_.stop();
    if (heldControl_) heldControl_->setEnabled(true);
    return true;
}

void MainDialog::closeEvent(QCloseEvent* event) {
    if (mayClose())
        event->accept();
    else
        event->ignore();
}

void MainDialog::reject() {
    if (mayClose()) QDialog::reject();
}

void MainDialog::done(int result) {
    if (closeRefusal().isEmpty()) {
        QDialog::done(result);
        return;
    }
    showMessageBox(this, closeRefusal());
}

}  // namespace veltrion::desktop

#pragma once

// The program's window: the camera list, the selected camera's versions
// against the update image, the tabs, and the jobs (firmware update and
// device report) that run on a worker thread while the window keeps them
// from being interrupted.

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "dialog/DialogServices.h"
#include "dialog/WorkerThread.h"
#include "shell/SessionInhibitor.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTabWidget;

namespace veltrion {
class HotplugPort;
}

namespace veltrion::desktop {

class ControlTab;
class DiagnosticsTab;
class FeaturesTab;
class QuickSetup;

class MainDialog : public QDialog, public DialogServices {
    Q_OBJECT

public:
    enum TabIndex { kUpdateTab = 0, kDiagnosticsTab = 1, kFeaturesTab = 2, kControlTab = 3 };

    enum class Hotplug { Watch, Ignore };

    // The model outlives the dialog. logFilePath: the run's log, copied into
    // reports. Hotplug::Ignore runs as on a system without hot-plug events.
    MainDialog(CamMgrModel& model, std::string logFilePath, QWidget* parent = nullptr,
               Hotplug hotplug = Hotplug::Watch);
    ~MainDialog() override;

    // ---- DialogServices ----
    CamMgrModel& model() override { return model_; }
    int selectedDeviceIndex() const override;
    std::string selectedSerial() const override { return serial_; }
    bool getCamInfo(DeviceStatus& status) override;
    bool isCamStreaming() override;
    void rebootCamera(const CameraRef& camera, bool restartTimer1) override;
    void disableUpdateControls() override;
    void holdControlForAMoment(QWidget* control) override;
    void showUpdateTabOnly() override;
    void startUpdate() override;
    void setIdentityMode(bool on, const std::string& targetIdentity) override;
    QFont dialogFont() const override;

    // ---- what the window shows (also for tests) ----
    void rebuildDeviceList();
    void refreshStatus();
    void showTabView(int tab);
    bool idle() const { return idle_; }
    QPushButton* updateButton() const { return updateButton_; }
    QComboBox* cameraCombo() const { return cameraCombo_; }
    QTabWidget* tabs() const { return tabs_; }
    DiagnosticsTab* diagnosticsTab() const { return diagnosticsTab_; }

    // Closing is refused while a job writes to a camera.
    void reject() override;
    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    QWidget* buildUpdatePage();
    void startHotplugWatch();
    void onHotplugEvents();
    void onCameraSelected(int position);
    // The list read again (hot-plug, or a camera the program rebooted).
    void rescan();
    // The selected camera is another one now, none, or the same one back
    // from a reboot: the pages are built again for it, or emptied.
    void selectedCameraChanged();
    // Sets the update button's caption and widens the button to show it whole.
    void setUpdateCaption(const QString& caption);
    void onTabShown(int tab);
    void resetQuickSetup();
    void leaveQuickSetup();
    void addCameraTabs();
    void removeCameraTabs();

    // ---- jobs (MainDialogJobs.cpp) ----
    void onUpdateClicked();
    void startUpdateJob(const std::string& targetIdentity);
    void onUpdateProgressTick();
    void onReportClicked();
    void onReportEndTick();
    // The selected camera, resolved once for a job; none after the job's
    // invalid-index line or the operation's "no cam!" line.
    std::optional<CameraRef> jobCamera(const char* job, const char* operation);
    // On the job's thread: the job's camera is asked for its serial and must
    // be the camera the window showed when the job started; false after a
    // log line (nothing is written).
    bool isJobCamera(CameraRef& camera, const std::string& shownSerial, const char* job, const char* operation);
    void enterBusyState(const QString& reason);
    void leaveBusyState();
    // Why closing is refused now, or empty when it may close.
    QString closeRefusal() const;
    bool mayClose();
    void onRescanTick();
    void onStatusTick();
    void awaitRebootedCamera(const std::string& serial);

    CamMgrModel& model_;
    std::string logFilePath_;

    // camera list
    std::map<int, DeviceStatus> statusCache_;
    std::map<std::string, int> nameMap_;
    int selectedPosition_ = -1;
    std::string serial_;  // of the camera the window shows; empty for none
    bool identityMode_ = false;
    std::string targetIdentity_;

    // widgets
    QStackedWidget* stack_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    DiagnosticsTab* diagnosticsTab_ = nullptr;
    FeaturesTab* featuresTab_ = nullptr;
    ControlTab* controlTab_ = nullptr;
    QuickSetup* quickSetup_ = nullptr;
    QComboBox* cameraCombo_ = nullptr;
    QLineEdit* serialEdit_ = nullptr;
    QLabel* fpgaValue_ = nullptr;
    QLabel* fx3Value_ = nullptr;
    QLabel* warningText_ = nullptr;
    QPushButton* updateButton_ = nullptr;
    QPushButton* quickSetupButton_ = nullptr;

    // timers 1..5: status, update progress, report end, held control, rescan
    QTimer statusTimer_;
    QTimer updateTimer_;
    QTimer reportTimer_;
    QTimer holdTimer_;
    QTimer rescanTimer_;
    QPointer<QWidget> heldControl_;
    // After a reboot the program started, the list is read again until the
    // camera is back (also for systems that deliver no hot-plug events), and
    // the camera is selected again when it is.
    std::chrono::steady_clock::time_point rescanAfterRebootUntil_{};
    std::string rebootedSerial_;
    // The rebooted camera was found again by the last list reading.
    bool rebootedCameraBack_ = false;

    // jobs
    bool idle_ = true;
    std::unique_ptr<WorkerThread> updateThread_;
    std::unique_ptr<WorkerThread> reportThread_;
    std::string reportFolder_;
    SessionInhibitor inhibitor_;

    // hot-plug
    std::unique_ptr<HotplugPort> hotplug_;
    QTimer hotplugPoll_;
};

}  // namespace veltrion::desktop

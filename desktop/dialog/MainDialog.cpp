#include "dialog/MainDialog.h"

#include <algorithm>

#include <QAction>
#include <QComboBox>
#include <QDBusConnection>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QGuiApplication>
#include <QPushButton>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QStackedWidget>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "control/ControlTab.h"
#include "device/hotplug/HotplugPort.h"
#include "diagnostics/DiagnosticsTab.h"
#include "features/FeaturesTab.h"
#include "features/QuickSetup.h"
#include "shell/AboutDialog.h"
#include "shell/FileVersion.h"
#include "shell/HelpPage.h"

namespace veltrion::desktop {

namespace {
const char* const kTabTitles[] = {"Update", "Diagnostics", "Features", "Control"};
// How long a camera the program rebooted is waited for.
constexpr auto kRescanAfterReboot = std::chrono::seconds(30);
// Shown for the serial number and the versions while no camera is known.
const QString kUnknown = QStringLiteral("???");
}

MainDialog::MainDialog(CamMgrModel& model, std::string logFilePath, QWidget* parent, Hotplug hotplug)
    : QDialog(parent), model_(model), logFilePath_(std::move(logFilePath)), inhibitor_(QDBusConnection::systemBus()) {
    setWindowTitle(QStringLiteral("VeltrionUtility"));
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);
    buildWindow();

    statusTimer_.setInterval(500);
    updateTimer_.setInterval(100);
    reportTimer_.setInterval(100);
    holdTimer_.setInterval(500);
    rescanTimer_.setInterval(100);
    connect(&statusTimer_, &QTimer::timeout, this, &MainDialog::onStatusTick);
    connect(&updateTimer_, &QTimer::timeout, this, &MainDialog::onUpdateProgressTick);
    connect(&reportTimer_, &QTimer::timeout, this, &MainDialog::onReportEndTick);
    connect(&holdTimer_, &QTimer::timeout, this, [this] {
        if (heldControl_) heldControl_->setEnabled(true);
        heldControl_.clear();
        holdTimer_.stop();
    });
    connect(&rescanTimer_, &QTimer::timeout, this, &MainDialog::onRescanTick);

    rebuildDeviceList();
    removeCameraTabs();
    showTabView(kUpdateTab);
    statusTimer_.start();
    if (hotplug == Hotplug::Watch) startHotplugWatch();
    // The session does not end while a job writes to a camera.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        if (!idle_) manager.cancel();
    });
}

MainDialog::~MainDialog() = default;

void MainDialog::buildWindow() {
    auto* layout = new QVBoxLayout(this);
    stack_ = new QStackedWidget(this);
    layout->addWidget(stack_);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabs"));
    tabs_->setMinimumWidth(900);
    QWidget* updatePage = buildUpdatePage();
    diagnosticsTab_ = new DiagnosticsTab(model_.logger(), dialogFont(), this);
    featuresTab_ = new FeaturesTab(*this, this);
    controlTab_ = new ControlTab(*this, this);
    tabs_->addTab(updatePage, QString::fromLatin1(kTabTitles[kUpdateTab]));
    stack_->addWidget(tabs_);
    quickSetup_ = new QuickSetup(*this, quickSetupButton_, this);
    stack_->addWidget(quickSetup_);

    connect(tabs_, &QTabWidget::currentChanged, this, &MainDialog::onTabShown);
    connect(diagnosticsTab_, &DiagnosticsTab::generateRequested, this, &MainDialog::onReportClicked);
    connect(quickSetup_, &QuickSetup::ended, this, &MainDialog::leaveQuickSetup);

    // The old system-menu entry: the window's context menu offers the About box.
    auto* about = new QAction(QStringLiteral("&About VeltrionUtility..."), this);
    connect(about, &QAction::triggered, this, [this] { AboutDialog(this).exec(); });
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

QWidget* MainDialog::buildUpdatePage() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);

    cameraCombo_ = new QComboBox(page);
    cameraCombo_->setObjectName(QStringLiteral("cameraCombo"));
    cameraCombo_->setMinimumWidth(160);
    // Only the user's choice counts: filling the list never selects anew.
    connect(cameraCombo_, &QComboBox::activated, this, &MainDialog::onCameraSelected);
    serialEdit_ = new QLineEdit(kUnknown, page);
    serialEdit_->setObjectName(QStringLiteral("serialEdit"));
    serialEdit_->setReadOnly(true);
    fpgaValue_ = new QLabel(kUnknown, page);
    fpgaValue_->setObjectName(QStringLiteral("fpgaVersion"));
    fx3Value_ = new QLabel(kUnknown, page);
    fx3Value_->setObjectName(QStringLiteral("fx3Version"));

    grid->addWidget(new QLabel(QStringLiteral("Camera Selection:"), page), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Camera ID"), page), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("FPGA Version"), page), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("FX3 Version"), page), 0, 3);
    grid->addWidget(cameraCombo_, 1, 0);
    grid->addWidget(serialEdit_, 1, 1);
    grid->addWidget(fpgaValue_, 1, 2);
    grid->addWidget(fx3Value_, 1, 3);

    updateButton_ = new QPushButton(QStringLiteral("Device Not Found"), page);
    updateButton_->setObjectName(QStringLiteral("updateButton"));
    updateButton_->setMinimumSize(200, 56);
    updateButton_->setEnabled(false);
    connect(updateButton_, &QPushButton::clicked, this, &MainDialog::onUpdateClicked);
    quickSetupButton_ = new QPushButton(QStringLiteral("Quick Setup"), page);
    quickSetupButton_->setObjectName(QStringLiteral("quickSetupButton"));
    quickSetupButton_->setMinimumSize(160, 56);
    quickSetupButton_->setEnabled(false);
    connect(quickSetupButton_, &QPushButton::clicked, this, [this] {
        if (quickSetup_->start()) stack_->setCurrentWidget(quickSetup_);
    });
    grid->addWidget(updateButton_, 1, 4, 2, 1);
    grid->addWidget(quickSetupButton_, 1, 5, 2, 1);

    warningText_ = new QLabel(page);
    warningText_->setObjectName(QStringLiteral("warningText"));
    warningText_->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    grid->addWidget(warningText_, 3, 0, 1, 6, Qt::AlignCenter);
    grid->setRowStretch(4, 1);

    auto* footer = new QHBoxLayout;
    footer->addStretch(1);
    auto* version = new QLabel(QString::fromStdString(fileVersionText()), page);
    version->setObjectName(QStringLiteral("programVersion"));
    footer->addWidget(version);
    auto* help = new QPushButton(page);
    help->setObjectName(QStringLiteral("helpButton"));
    help->setIcon(style()->standardIcon(QStyle::SP_MessageBoxQuestion));
    help->setIconSize(QSize(16, 16));
    help->setToolTip(QStringLiteral("Help"));
    connect(help, &QPushButton::clicked, this, [help] {
        openHelpPage();
        help->clearFocus();
    });
    footer->addWidget(help);
    grid->addLayout(footer, 5, 0, 1, 6);
    return page;
}

// ---- camera list and status ----

void MainDialog::rebuildDeviceList() {
    // A camera the program rebooted is selected again once it is back; else
    // the camera shown stays selected while it is attached, wherever the
    // list puts it now; else the first camera is.
    const std::string shown = serial_;
    selectedPosition_ = -1;
    statusCache_.clear();
    nameMap_.clear();
    cameraCombo_->clear();
    const size_t count = model_.deviceList().size();
    int rebootedPosition = -1;
    int shownPosition = -1;
    auto add = [&](int index, const DeviceStatus& status) {
        statusCache_[index] = status;
        if (!rebootedSerial_.empty() && status.serialNumber == rebootedSerial_) rebootedPosition = cameraCombo_->count();
        if (!shown.empty() && status.serialNumber == shown) shownPosition = cameraCombo_->count();
        cameraCombo_->addItem(QString::fromStdString(status.displayName));
        nameMap_[status.displayName] = index;
    };
    std::map<int, DeviceStatus> vendorStatus;  // vendor-channel cameras come after all others
    for (size_t i = 0; i < count; ++i) {
        const int index = static_cast<int>(i);
        DeviceStatus status;
        if (!model_.getDeviceStatus(index, status)) continue;
        if (status.uvcChannel)
            add(index, status);
        else
            vendorStatus[index] = status;
    }
    for (const auto& [index, status] : vendorStatus) add(index, status);
    if (cameraCombo_->count() == 0) return;
    selectedPosition_ = rebootedPosition >= 0 ? rebootedPosition : std::max(shownPosition, 0);
    cameraCombo_->setCurrentIndex(selectedPosition_);
    if (rebootedPosition >= 0) {
        rebootedCameraBack_ = true;
        awaitRebootedCamera(std::string());
    }
}

void MainDialog::awaitRebootedCamera(const std::string& serial) {
    rebootedSerial_ = serial;
    rescanAfterRebootUntil_ =
        serial.empty() ? std::chrono::steady_clock::time_point{} : std::chrono::steady_clock::now() + kRescanAfterReboot;
}

void MainDialog::rescan() {
    model_.forgetFeatureJson();
    rebuildDeviceList();
    refreshStatus();
}

int MainDialog::selectedDeviceIndex() const {
    if (selectedPosition_ < 0) return -1;
    const auto found = nameMap_.find(cameraCombo_->currentText().toStdString());
    return found == nameMap_.end() ? -1 : found->second;
}

bool MainDialog::getCamInfo(DeviceStatus& status) {
    const int index = selectedDeviceIndex();
    // No camera listed: nothing to ask, and nothing to log twice a second.
    if (index < 0) return false;
    auto cached = statusCache_.find(index);
    if (cached == statusCache_.end() || !cached->second.infoValid) {
        DeviceStatus fresh;
        if (!model_.getDeviceStatus(index, fresh)) {
            model_.logger().log(kLogError, "getCamInfo: get device status failed for %d\n", index);
            return false;
        }
        cached = statusCache_.insert_or_assign(index, fresh).first;
    }
    if (!cached->second.infoValid) return false;
    model_.logger().log(kLogDetail, "getCamInfo: get device status  %d\n", cached->second.infoValid ? 1 : 0);
    status = cached->second;
    return true;
}

void MainDialog::resetQuickSetup() {
    quickSetup_->reset();
    leaveQuickSetup();
}

void MainDialog::leaveQuickSetup() {
    if (stack_->currentWidget() != quickSetup_) return;
    stack_->setCurrentWidget(tabs_);
    showTabView(kUpdateTab);
}

void MainDialog::onCameraSelected(int position) {
    if (cameraCombo_->count() == 0) return;
    model_.forgetFeatureJson();
    resetQuickSetup();
    // The user's choice: a camera rebooted before is not taken back to.
    awaitRebootedCamera(std::string());
    selectedPosition_ = position;
    refreshStatus();
}

void MainDialog::selectedCameraChanged() {
    model_.forgetFeatureJson();
    resetQuickSetup();
    const int shown = tabs_->currentIndex();
    // The tab in view is built again; the others are when they are shown.
    if (shown == kFeaturesTab || shown == kControlTab)
        onTabShown(shown);
    else
        featuresTab_->clearTree();
    if (shown != kControlTab) controlTab_->clear();
}

void MainDialog::addCameraTabs() {
    if (tabs_->count() != 1) return;
    tabs_->addTab(diagnosticsTab_, QString::fromLatin1(kTabTitles[kDiagnosticsTab]));
    tabs_->addTab(featuresTab_, QString::fromLatin1(kTabTitles[kFeaturesTab]));
    tabs_->addTab(controlTab_, QString::fromLatin1(kTabTitles[kControlTab]));
}

void MainDialog::removeCameraTabs() {
    while (tabs_->count() > 1) tabs_->removeTab(tabs_->count() - 1);
    // A page out of the tab widget must not show as a child window.
    for (QWidget* page : {static_cast<QWidget*>(diagnosticsTab_), static_cast<QWidget*>(featuresTab_),
                          static_cast<QWidget*>(controlTab_)})
        page->hide();
}

void MainDialog::refreshStatus() {
    DeviceStatus status;
    const bool known = getCamInfo(status);
    const std::string serial = known ? status.serialNumber : std::string();
    const bool changed = serial != serial_ || rebootedCameraBack_;
    rebootedCameraBack_ = false;
    serial_ = serial;
    if (!known) {
        if (tabs_->count() > 1) {
            removeCameraTabs();
            showTabView(kUpdateTab);
        }
        if (changed) selectedCameraChanged();
        setUpdateCaption(QStringLiteral("Device Not Found"));
        serialEdit_->setText(kUnknown);
        fpgaValue_->setText(kUnknown);
        fx3Value_->setText(kUnknown);
        updateButton_->setEnabled(false);
        return;
    }
    if (changed) selectedCameraChanged();
    const QString shownSerial = QString::fromStdString(serial);
    if (serialEdit_->text() != shownSerial) {
        serialEdit_->setText(shownSerial);
        serialEdit_->end(false);
    }
    fpgaValue_->setText(QString::fromStdString(status.fpgaVersion));
    fx3Value_->setText(QString::fromStdString(status.fx3Version));
    addCameraTabs();
    quickSetupButton_->setEnabled(true);
    if (status.upToDate) {
        setUpdateCaption(QStringLiteral("Device Up-To-Date"));
        updateButton_->setEnabled(false);
    } else if (status.updateKnown) {
        setUpdateCaption(QStringLiteral("Update (") + QString::fromStdString(status.imageVersion) + ")");
        updateButton_->setEnabled(true);
    } else {
        setUpdateCaption(QStringLiteral("No update found"));
        updateButton_->setEnabled(false);
    }
}

void MainDialog::setUpdateCaption(const QString& caption) {
    if (updateButton_->text() == caption) return;
    updateButton_->setText(caption);
    // Only ever wider, so that the progress captions do not make it jump.
    const int needed = updateButton_->sizeHint().width();
    if (needed > updateButton_->minimumWidth()) updateButton_->setMinimumWidth(needed);
}

void MainDialog::showTabView(int tab) {
    if (tab < 0 || tab >= tabs_->count()) return;
    if (tabs_->currentIndex() == tab)
        onTabShown(tab);
    else
        tabs_->setCurrentIndex(tab);  // shown through currentChanged
}

void MainDialog::onTabShown(int tab) {
    // The tree is built only while its tab shows (and the JSON held with it).
    featuresTab_->clearTree();
    if (tab == kFeaturesTab)
        featuresTab_->showTab();
    else if (tab == kControlTab)
        controlTab_->showTab();
}

// ---- services for the tabs ----

void MainDialog::disableUpdateControls() {
    updateButton_->setEnabled(false);
    featuresTab_->applyButton()->setEnabled(false);
    quickSetupButton_->setEnabled(false);
    tabs_->tabBar()->setEnabled(false);
    cameraCombo_->setEnabled(false);
}

void MainDialog::holdControlForAMoment(QWidget* control) {
    if (!control) return;
    if (heldControl_ && heldControl_ != control) heldControl_->setEnabled(true);
    control->setEnabled(false);
    heldControl_ = control;
    holdTimer_.start();
}

void MainDialog::showUpdateTabOnly() {
    removeCameraTabs();
    showTabView(kUpdateTab);
}

void MainDialog::setIdentityMode(bool on, const std::string& targetIdentity) {
    identityMode_ = on;
    targetIdentity_ = on ? targetIdentity : std::string();
}

QFont MainDialog::dialogFont() const {
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    return font;
}

// ---- hot-plug ----

void MainDialog::startHotplugWatch() {
    std::string error;
    hotplug_ = createHotplugPort(error);
    if (!hotplug_) {
        model_.logger().log(kLogError, "registerDevNotification failed\n");
        return;
    }
    if (hotplug_->eventDescriptor() >= 0) {
        auto* notifier = new QSocketNotifier(hotplug_->eventDescriptor(), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &MainDialog::onHotplugEvents);
    } else {
        hotplugPoll_.setInterval(250);
        connect(&hotplugPoll_, &QTimer::timeout, this, &MainDialog::onHotplugEvents);
        hotplugPoll_.start();
    }
}

void MainDialog::onHotplugEvents() {
    std::vector<HotplugEvent> events;
    hotplug_->takeEvents(events);
    if (!events.empty() && !rescanTimer_.isActive()) rescanTimer_.start();
}

void MainDialog::onRescanTick() {
    if (!idle_) return;  // the list waits until the job has ended
    rescan();
    rescanTimer_.stop();
}

}  // namespace veltrion::desktop

#include "control/CustomCameraNameBox.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "control/CamNameBlock.h"
#include "control/CameraProperty.h"
#include "dialog/DialogServices.h"

namespace veltrion::desktop {

CustomCameraNameBox::CustomCameraNameBox(DialogServices& services, QWidget* parent)
    : QGroupBox(tr("Custom Camera Name"), parent), services_(services) {
    setObjectName(QStringLiteral("customCameraNameGroup"));
    enable_ = new QCheckBox(tr("Enable Custom Camera Name"));
    enable_->setObjectName(QStringLiteral("customNameCheck"));
    name_ = new QLineEdit;
    name_->setObjectName(QStringLiteral("customNameEdit"));
    save_ = new QPushButton(tr("Save"));
    save_->setObjectName(QStringLiteral("customNameSaveButton"));
    auto* row = new QHBoxLayout;
    row->addWidget(name_, 1);
    row->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(enable_);
    layout->addLayout(row);
    enable_->setEnabled(false);
    name_->setEnabled(false);
    save_->setEnabled(false);
    connect(enable_, &QCheckBox::toggled, this, &CustomCameraNameBox::refreshControls);
    connect(name_, &QLineEdit::textChanged, this, &CustomCameraNameBox::refreshControls);
    connect(save_, &QPushButton::clicked, this, &CustomCameraNameBox::save);
}

void CustomCameraNameBox::readState() {
    clear();
    uint8_t feature[3] = {};
    const int index = services_.selectedDeviceIndex();
    const auto camera = services_.model().resolve(index, "initCamNameStatus");
    if (!camera) {
        services_.logger().log(kLogError, "initCamNameStatus: invalid device index %d\n", index);
        return;
    }
    if (!services_.model().getFeatureFlashValues(*camera, camname::kFeatureId, feature, sizeof feature)) {
        services_.logger().log(kLogError, "initCamNameStatus: failed to read custom cam name feature!");
        return;
    }
    shownSerial_ = services_.selectedSerial();
    storedEnable_ = camname::enabledInFeature(feature);
    // The name the camera goes by now, as its capture source reports it.
    const auto source = openCaptureSource(shownSerial_);
    storedName_ = source ? QString::fromStdString(source->friendlyName()) : QString();
    enable_->setEnabled(true);
    {
        const QSignalBlocker quietEdit(name_);
        const QSignalBlocker quietCheck(enable_);
        name_->setText(storedName_);
        enable_->setChecked(storedEnable_);
    }
    refreshControls();
}

void CustomCameraNameBox::clear() {
    shownSerial_.clear();
    storedEnable_ = false;
    storedName_.clear();
    const QSignalBlocker quietEdit(name_);
    const QSignalBlocker quietCheck(enable_);
    name_->clear();
    enable_->setChecked(false);
    enable_->setEnabled(false);
    name_->setEnabled(false);
    save_->setEnabled(false);
}

void CustomCameraNameBox::refreshControls() {
    const bool checked = enable_->isChecked();
    const QString text = name_->text();
    name_->setEnabled(enable_->isEnabled() && checked);
    const bool hasText = !text.trimmed().isEmpty();
    const bool changed = checked != storedEnable_ || (checked && text != storedName_);
    save_->setEnabled(enable_->isEnabled() && hasText && changed);
}

bool CustomCameraNameBox::save() {
    const bool enable = enable_->isChecked();
    std::string name;
    if (enable) {
        std::string refusal;
        const auto bytes = camname::nameBytes(name_->text(), refusal);
        if (!bytes) {
            services_.logger().log(kLogError, "OnBnClickedSaveCamNameBtn: invalid length of cam name found! %s\n",
                                   refusal.c_str());
            return false;
        }
        name = *bytes;
    }
    const auto camera = services_.shownCamera(shownSerial_, "OnBnClickedSaveCamNameBtn", "programDevice");
    if (!camera || !writeNamePage(*camera, enable, name)) return false;
    storedEnable_ = enable;
    if (enable) storedName_ = QString::fromStdString(name);
    refreshControls();
    services_.rebootCamera(*camera, true);
    return true;
}

bool CustomCameraNameBox::writeNamePage(const CameraRef& camera, bool enable, const std::string& name) {
    if (enable)
        services_.logger().log(kLogInfo, "OnBnClickedSaveCamNameBtn: trying to set cam name to %s\n", name.c_str());
    else
        services_.logger().log(kLogInfo, "OnBnClickedSaveCamNameBtn: disabling custom cam name\n");
    camname::Page page{};
    if (!services_.model().getFlashData(camera, camname::kPageAddress, page.data(), camname::kPageSize)) {
        services_.logger().log(kLogError, "OnBnClickedSaveCamNameBtn: failed to read feature buffer!\n");
        return false;
    }
    camname::patchPage(page, enable, camname::makeBlock(name));
    if (!services_.model().programDevice(camera, camname::kPageAddress, page.data(), camname::kPageSize)) {
        services_.logger().log(kLogError, "OnBnClickedSaveCamNameBtn: failed to program cam name name buf!\n");
        return false;
    }
    return true;
}

}  // namespace veltrion::desktop

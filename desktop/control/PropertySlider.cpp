#include "control/PropertySlider.h"

#include <algorithm>

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

namespace veltrion::desktop {

namespace {
constexpr int kValueFieldWidth = 56;
constexpr int kSliderMinimumWidth = 160;
constexpr int kPageSteps = 10;  // a page is ten steps of the property
}  // namespace

PropertySlider::PropertySlider(CameraProperty property, const QString& caption, const QString& name,
                               QGridLayout& grid, int row, QObject* parent)
    : QObject(parent), property_(property) {
    caption_ = new QLabel(caption);
    slider_ = new QSlider(Qt::Horizontal);
    slider_->setObjectName(name + QStringLiteral("Slider"));
    slider_->setMinimumWidth(kSliderMinimumWidth);
    slider_->setEnabled(false);  // until the camera's range is known
    value_ = new QLineEdit;
    value_->setObjectName(name + QStringLiteral("Value"));
    value_->setReadOnly(true);
    value_->setFixedWidth(kValueFieldWidth);
    grid.addWidget(caption_, row, 0);
    grid.addWidget(slider_, row, 1);
    grid.addWidget(value_, row, 2);
    // actionTriggered comes only from the user (keys, mouse, wheel), with the
    // new position already in sliderPosition(); valueChanged would also fire
    // for setRange and setValue.
    connect(slider_, &QSlider::actionTriggered, this, &PropertySlider::onAction);
}

void PropertySlider::onAction(int action) {
    if (action == QAbstractSlider::SliderNoAction) return;
    const long position = slider_->sliderPosition();
    value_->setText(QString::number(position));
    emit moved(position);
}

void PropertySlider::showReading(const PropertyReading& reading) {
    defaultKnown_ = true;
    defaultValue_ = reading.defaultValue;
    const QSignalBlocker quiet(slider_);
    slider_->setRange(static_cast<int>(reading.minimum), static_cast<int>(reading.maximum));
    const int step = static_cast<int>(std::max(1L, reading.step));
    slider_->setSingleStep(step);
    slider_->setPageStep(step * kPageSteps);
    showValue(reading.value);
}

void PropertySlider::showValue(long value) {
    const QSignalBlocker quiet(slider_);
    slider_->setValue(static_cast<int>(value));
    value_->setText(QString::number(value));
}

void PropertySlider::forgetReading() {
    defaultKnown_ = false;
    slider_->setEnabled(false);
    value_->clear();
}

long PropertySlider::position() const { return slider_->sliderPosition(); }

}  // namespace veltrion::desktop

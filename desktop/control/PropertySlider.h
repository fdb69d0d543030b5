#pragma once

// A slider row of the control tab: caption, slider and a read-only field
// showing the position. It reports only what the user does to the slider;
// setting its range or a value read from the camera reports nothing, so a
// reading is never sent back to the camera.

#include <QObject>
#include <QString>

#include "control/CameraProperty.h"

class QGridLayout;
class QLabel;
class QLineEdit;
class QSlider;

namespace veltrion::desktop {

class PropertySlider : public QObject {
    Q_OBJECT

public:
    // Adds the row's widgets to the grid at row; name gives their objectNames
    // ("<name>Slider", "<name>Value").
    PropertySlider(CameraProperty property, const QString& caption, const QString& name, QGridLayout& grid, int row,
                   QObject* parent);

    const CameraProperty& property() const { return property_; }
    QSlider* slider() const { return slider_; }

    // Range, position and field from a reading; nothing is sent.
    void showReading(const PropertyReading& reading);
    // Position and field only; nothing is sent.
    void showValue(long value);
    // The camera's default, known once a reading was shown.
    bool defaultKnown() const { return defaultKnown_; }
    long defaultValue() const { return defaultValue_; }
    // The slider's range no longer describes the camera (its reading failed).
    void forgetReading();
    long position() const;

signals:
    // The user moved the slider to position.
    void moved(long position);

private:
    void onAction(int action);

    CameraProperty property_;
    QLabel* caption_;
    QSlider* slider_;
    QLineEdit* value_;
    bool defaultKnown_ = false;
    long defaultValue_ = 0;
};

}  // namespace veltrion::desktop

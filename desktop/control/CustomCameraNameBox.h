#pragma once

// "Custom Camera Name": the name the camera shows instead of its own, kept
// in the camera's configuration block. Saving writes the block and reboots
// the camera so that it comes back under the new name.

#include <string>

#include <QGroupBox>

#include "model/CameraRef.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace veltrion::desktop {

class DialogServices;

class CustomCameraNameBox : public QGroupBox {
    Q_OBJECT

public:
    explicit CustomCameraNameBox(DialogServices& services, QWidget* parent = nullptr);

    // Reads whether the camera shows a custom name, and the name it shows.
    void readState();
    // Shows no camera: everything disabled, nothing stored.
    void clear();
    // Writes the box's name (or switches it off); false when refused or failed.
    bool save();

    QCheckBox* enableCheck() const { return enable_; }
    QLineEdit* nameEdit() const { return name_; }
    QPushButton* saveButton() const { return save_; }

private:
    void refreshControls();
    bool writeNamePage(const CameraRef& camera, bool enable, const std::string& name);

    DialogServices& services_;
    QCheckBox* enable_;
    QLineEdit* name_;
    QPushButton* save_;
    bool storedEnable_ = false;
    QString storedName_;
    std::string shownSerial_;  // the camera the state was read from
};

}  // namespace veltrion::desktop

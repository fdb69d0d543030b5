#pragma once

// The About box: the program's icon, name and version, and an OK button.

#include <QDialog>

namespace veltrion::desktop {

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace veltrion::desktop

#pragma once

// The "Diagnostics" tab: the folder a device report goes into (remembered
// in the settings), the Quick Report choice, the button and the result text.
// The window runs the report itself, as it runs every camera job.

#include <QWidget>

#include <string>

#include "base/Logger.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace veltrion::desktop {

class DiagnosticsTab : public QWidget {
    Q_OBJECT

public:
    // resultFont: the dialog's font for result texts.
    DiagnosticsTab(Logger& log, const QFont& resultFont, QWidget* parent = nullptr);

    std::string baseFolder() const;
    void setBaseFolder(const QString& folder);
    bool quickReport() const;
    void setResultText(const QString& text);
    QString resultText() const;
    // The button, the folder box and the Quick Report box.
    void setControlsEnabled(bool enabled);
    QPushButton* generateButton() const { return generateButton_; }

signals:
    void generateRequested();

private:
    Logger& log_;
    QLineEdit* folderEdit_ = nullptr;
    QToolButton* browseButton_ = nullptr;
    QPushButton* generateButton_ = nullptr;
    QCheckBox* quickReportBox_ = nullptr;
    QLabel* resultText_ = nullptr;
};

}  // namespace veltrion::desktop

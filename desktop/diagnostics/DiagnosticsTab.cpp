#include "diagnostics/DiagnosticsTab.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "shell/ReportFolder.h"

namespace veltrion::desktop {

DiagnosticsTab::DiagnosticsTab(Logger& log, const QFont& resultFont, QWidget* parent) : QWidget(parent), log_(log) {
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Device report directory:"), this), 0, 0);
    folderEdit_ = new QLineEdit(QString::fromStdString(reportBaseFolder(log_)), this);
    folderEdit_->setObjectName(QStringLiteral("reportFolderEdit"));
    // Every change of the folder is remembered at once.
    connect(folderEdit_, &QLineEdit::textChanged, this,
            [this](const QString& text) { setRegValue(text.toStdString(), log_); });
    grid->addWidget(folderEdit_, 0, 1);
    browseButton_ = new QToolButton(this);
    browseButton_->setText(QStringLiteral("..."));
    connect(browseButton_, &QToolButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(this, QString(), folderEdit_->text());
        if (!chosen.isEmpty()) folderEdit_->setText(chosen);
    });
    grid->addWidget(browseButton_, 0, 2);

    resultText_ = new QLabel(QStringLiteral("Click to generate device health report for diagnostics"), this);
    resultText_->setObjectName(QStringLiteral("reportResultText"));
    resultText_->setAlignment(Qt::AlignCenter);
    resultText_->setWordWrap(true);
    resultText_->setFont(resultFont);
    grid->addWidget(resultText_, 1, 0, 1, 3);

    generateButton_ = new QPushButton(QStringLiteral("Generate Device Report"), this);
    generateButton_->setObjectName(QStringLiteral("generateReportButton"));
    generateButton_->setMinimumSize(240, 48);
    connect(generateButton_, &QPushButton::clicked, this, &DiagnosticsTab::generateRequested);
    quickReportBox_ = new QCheckBox(QStringLiteral("Quick Report"), this);
    quickReportBox_->setObjectName(QStringLiteral("quickReportBox"));
    quickReportBox_->setChecked(true);
    grid->addWidget(generateButton_, 2, 1, Qt::AlignCenter);
    grid->addWidget(quickReportBox_, 2, 2);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);
}

std::string DiagnosticsTab::baseFolder() const { return folderEdit_->text().toStdString(); }

void DiagnosticsTab::setBaseFolder(const QString& folder) { folderEdit_->setText(folder); }

bool DiagnosticsTab::quickReport() const { return quickReportBox_->isChecked(); }

void DiagnosticsTab::setResultText(const QString& text) { resultText_->setText(text); }

QString DiagnosticsTab::resultText() const { return resultText_->text(); }

void DiagnosticsTab::setControlsEnabled(bool enabled) {
    generateButton_->setEnabled(enabled);
    folderEdit_->setEnabled(enabled);
    browseButton_->setEnabled(enabled);
    quickReportBox_->setEnabled(enabled);
}

}  // namespace veltrion::desktop

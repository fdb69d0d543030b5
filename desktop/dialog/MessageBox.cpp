#include "dialog/MessageBox.h"

#include <QMessageBox>
#include <utility>

namespace veltrion::desktop {

namespace {
std::function<void(const QString&)>& hook() {
    static std::function<void(const QString&)> installed;
    return installed;
}
}  // namespace

void showMessageBox(QWidget* parent, const QString& text) {
    if (hook()) {
        hook()(text);
        return;
    }
    QMessageBox::information(parent, QStringLiteral("VeltrionUtility"), text);
}

void setMessageBoxHook(std::function<void(const QString&)> installed) { hook() = std::move(installed); }

}  // namespace veltrion::desktop

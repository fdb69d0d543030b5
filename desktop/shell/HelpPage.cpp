#include "shell/HelpPage.h"

#include <QDesktopServices>

namespace veltrion::desktop {

QUrl helpPageUrl() { return QUrl(QStringLiteral("https://www.vemto.com/veltrion2/utility/help/windows")); }

void openHelpPage() { QDesktopServices::openUrl(helpPageUrl()); }

}  // namespace veltrion::desktop

#include "shell/ReportFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

namespace veltrion::desktop {

namespace {
constexpr char kOrganisation[] = "Vemto";
constexpr char kApplication[] = "Veltrion2Utility";
constexpr char kKey[] = "ReportDir/PATH";
// The value's own name, as the log lines give it.
constexpr char kValueName[] = "PATH";

std::string narrow(const QString& path) { return QFile::encodeName(path).toStdString(); }
}  // namespace

bool getRegValue(std::string& folder, Logger& log) {
    const QSettings settings{QLatin1String(kOrganisation), QLatin1String(kApplication)};
    const QVariant value = settings.value(QLatin1String(kKey));
    if (!value.isValid()) return false;
    if (value.typeId() != QMetaType::QString) {
        log.log(kLogError, "getRegValue: invalid type %u for reg key %s\n", static_cast<unsigned>(value.typeId()),
                kValueName);
        return false;
    }
    folder = narrow(value.toString());
    return true;
}

bool setRegValue(const std::string& folder, Logger& log) {
    QSettings settings{QLatin1String(kOrganisation), QLatin1String(kApplication)};
    settings.setValue(QLatin1String(kKey), QFile::decodeName(folder.c_str()));
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        log.log(kLogError, "setRegValue: failed to set reg key %s\n", kValueName);
        return false;
    }
    return true;
}

std::string reportBaseFolder(Logger& log) {
    std::string stored;
    // An emptied folder box stores an empty text: that is no folder.
    if (getRegValue(stored, log) && !stored.empty()) return stored;

    // The desktop's path is known even where the folder was never made; a
    // report can only go into one that exists.
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) return narrow(desktop);
    log.log(kLogError, "failed to get desktop path\n");
    return narrow(QDir::homePath());
}

}  // namespace veltrion::desktop

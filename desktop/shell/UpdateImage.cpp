#include "shell/UpdateImage.h"

#include <QDir>
#include <QFile>

namespace veltrion::desktop {

namespace {
constexpr char kImagePattern[] = "camera*.img";
}  // namespace

std::string findUpdateImage(const QString& directory, Logger& log) {
    const QString pattern = directory + u'/' + QLatin1String(kImagePattern);
    log.log(kLogInfo, "get cam img path reg = %s\n", QFile::encodeName(pattern).constData());

    // Name filters match without regard to case unless told otherwise;
    // QDir::Files leaves out folders and special files.
    const QStringList names =
        QDir(directory).entryList({QLatin1String(kImagePattern)}, QDir::Files, QDir::Name);
    if (names.isEmpty()) return {};

    const std::string path = QFile::encodeName(directory + u'/' + names.first()).toStdString();
    log.log(kLogInfo, "find camera img file = %s\n", path.c_str());
    return path;
}

}  // namespace veltrion::desktop

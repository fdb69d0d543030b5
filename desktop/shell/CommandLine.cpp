#include "shell/CommandLine.h"

namespace veltrion::desktop {

bool isSilentSwitch(const QString& argument) {
    if (argument.size() != 2) return false;
    const QChar prefix = argument.at(0);
    const QChar letter = argument.at(1);
    // Only the two ASCII letters: a Unicode case fold would also let the
    // long s (U+017F) through.
    return (prefix == u'/' || prefix == u'-') && (letter == u's' || letter == u'S');
}

bool parseSilentFlag(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        if (isSilentSwitch(argument)) return true;
    }
    return false;
}

}  // namespace veltrion::desktop

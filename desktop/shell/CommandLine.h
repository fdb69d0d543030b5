#pragma once

// The program's command line: one switch, "s", selects the unattended
// (silent) update. Every other argument is accepted and ignored.

#include <QString>
#include <QStringList>

namespace veltrion::desktop {

// True for "s" in either case written as a switch: one leading "/" or "-"
// ("/s", "-S"). The bare word, a doubled prefix ("--s") and longer switches
// that merely begin with s ("-silent") are not the silent switch.
bool isSilentSwitch(const QString& argument);

// True when any of the arguments (program name excluded) is the silent switch.
bool parseSilentFlag(const QStringList& arguments);

}  // namespace veltrion::desktop

#pragma once

// The update image the program offers lies next to its executable, named
// camera*.img.

#include <string>

#include <QString>

#include "base/Logger.h"

namespace veltrion::desktop {

// The first regular file (in name order) in directory whose name matches
// "camera*.img" without regard to case, as directory + "/" + name; empty when
// there is none. Only one image is ever used.
std::string findUpdateImage(const QString& directory, Logger& log);

}  // namespace veltrion::desktop

#pragma once

// The folder the user last chose for device reports, kept in the user's
// settings (organisation "Vemto", application "Veltrion2Utility", key
// "ReportDir/PATH") so the next run offers it again.

#include <string>

#include "base/Logger.h"

namespace veltrion::desktop {

// Reads the stored folder. False without a message when none is stored;
// false with a line when the stored value is not a text.
bool getRegValue(std::string& folder, Logger& log);

// Stores the folder and writes the settings out; false with a line when they
// cannot be written.
bool setRegValue(const std::string& folder, Logger& log);

// The folder a report starts from: the stored one, else the user's desktop
// folder, else (with a line) the home folder.
std::string reportBaseFolder(Logger& log);

}  // namespace veltrion::desktop

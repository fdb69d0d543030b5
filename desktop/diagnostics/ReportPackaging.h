#pragma once

// The files of a device report folder: the copy of the program's log and
// the ZIP archive of the folder that the user sends to support.

#include <string>

#include "base/Logger.h"

namespace veltrion::desktop {

// Copies source to destination in pieces of 1024 bytes. A missing source is
// not an error: the destination is left empty.
bool copyFile(const std::string& destination, const std::string& source, Logger& log);

// Packs the folder into folder + ".zip", its entries under the folder's own
// name (as a copy of the folder into an archive makes them). The archive is
// written to a temporary file and replaces an older one only when complete;
// a failure leaves no new archive behind.
bool createZip(const std::string& folder, Logger& log);

}  // namespace veltrion::desktop

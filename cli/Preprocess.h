#pragma once

#include <string>
#include <vector>

#include "UtilsLogger.h"

namespace veltrion::cli {

// The command line after -o and --uvc were taken out of it.
struct Preprocessed {
    std::vector<std::string> args;  // args[0] is the program name
    bool useVendorChannel = true;   // --uvc selects the UVC channel
    FilePtr logFile;                // opened by -o, null without it
};

enum class PreprocessResult { Ok, Failed };

// Takes the first "-o <path>" (opening the log file) and the first "--uvc"
// out of the arguments. On failure the "ERROR:" line and, for a missing path,
// the usage text are already printed.
PreprocessResult preprocessArguments(std::vector<std::string> args, Preprocessed& out);

}  // namespace veltrion::cli

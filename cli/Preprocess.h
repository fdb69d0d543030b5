#pragma once

#include <string>
#include <vector>

#include "UtilsLogger.h"

namespace veltrion::cli {

constexpr unsigned kMaxJobs = 64;

// The command line after -o and --uvc were taken out of it.
struct Preprocessed {
    std::vector<std::string> args;  // args[0] is the program name
    bool useVendorChannel = true;   // --uvc selects the UVC channel
    FilePtr logFile;                // opened by -o, null without it
    std::string logPath;            // its path as given
    unsigned jobs = 0;              // --jobs N: cameras -p all updates at once; 0 without it
    std::string recordFile;         // --record FILE: where the run's exchanges are recorded
};

enum class PreprocessResult { Ok, Failed };

// Takes the first "-o <path>" (opening the log file), the first "--uvc" and
// the first "--jobs N" and the first "--record FILE" out of the arguments. On failure the "ERROR:" line and, for a missing path,
// the usage text are already printed.
PreprocessResult preprocessArguments(std::vector<std::string> args, Preprocessed& out);

}  // namespace veltrion::cli

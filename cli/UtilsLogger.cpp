#include "UtilsLogger.h"

#include <cerrno>
#include <cstring>

namespace veltrion::cli {

void UtilsLogger::output(const char* text) {
    std::lock_guard lock(outputMutex_);
    if (logFile_ && !logFileFailed_) {
        const bool written = std::fputs(text, logFile_.get()) >= 0 && std::fflush(logFile_.get()) == 0;
        if (!written) {
            logFileFailed_ = true;
            std::fprintf(stderr, "WARNING: unable to write the log file %s: %s\n", logPath_.c_str(),
                         std::strerror(errno));
        }
    }
    std::printf("%s", text);
}

UtilsLogger& toolLogger() {
    static UtilsLogger logger;
    return logger;
}

}  // namespace veltrion::cli

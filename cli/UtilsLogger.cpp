#include "UtilsLogger.h"

namespace veltrion::cli {

void UtilsLogger::output(const char* text) {
    std::lock_guard lock(outputMutex_);
    if (logFile_) {
        std::fprintf(logFile_.get(), "%s", text);
        std::fflush(logFile_.get());
    }
    std::printf("%s", text);
}

UtilsLogger& toolLogger() {
    static UtilsLogger logger;
    return logger;
}

}  // namespace veltrion::cli

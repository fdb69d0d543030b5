#include "base/Logger.h"

#include <cstdio>

namespace veltrion {

void Logger::log(int level, const char* format, ...) {
    if (!enabled(level)) return;
    va_list args;
    va_start(args, format);
    logv(level, format, args);
    va_end(args);
}

void Logger::logv(int level, const char* format, va_list args) {
    if (!enabled(level)) return;
    char buffer[kBufferSize];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    output(buffer);
}

void Logger::output(const char* text) {
    std::fputs(text, stderr);
}

}  // namespace veltrion

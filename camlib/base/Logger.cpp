#include "base/Logger.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

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
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (length < 0) return;
    const size_t formatted = std::min(static_cast<size_t>(length), sizeof buffer - 1);
    if (!std::memchr(buffer, '\0', formatted)) {
        output(buffer);
        return;
    }
    // A %c of a zero byte would end the text there, and the rest of the
    // line, its newline too, would be lost: such bytes are shown as \0.
    std::string text;
    for (size_t i = 0; i < formatted; ++i) {
        if (buffer[i] == '\0')
            text += "\\0";
        else
            text += buffer[i];
    }
    output(text.c_str());
}

void Logger::output(const char* text) {
    std::fputs(text, stderr);
}

}  // namespace veltrion

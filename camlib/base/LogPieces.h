#pragma once

// Splits a long text into pieces the logger does not cut (it formats into a
// 1024-byte buffer), at line ends where it can.

#include <algorithm>
#include <string>

#include "base/Logger.h"

namespace veltrion {

template <typename Emit>
void forEachLogPiece(const std::string& text, Emit emit) {
    constexpr size_t kMaxPiece = Logger::kBufferSize - 1;
    size_t start = 0;
    while (start < text.size()) {
        size_t length = std::min(kMaxPiece, text.size() - start);
        if (start + length < text.size()) {
            const size_t lineEnd = text.rfind('\n', start + length - 1);
            if (lineEnd != std::string::npos && lineEnd >= start) length = lineEnd - start + 1;
        }
        emit(text.substr(start, length));
        start += length;
    }
}

// Logs a text of any length, in whole lines where it can.
inline void logLongText(Logger& logger, int level, const std::string& text) {
    forEachLogPiece(text, [&](const std::string& piece) { logger.log(level, "%s", piece.c_str()); });
}

}  // namespace veltrion

#include "format/ReportText.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "base/CNumericLocale.h"

namespace veltrion {

namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
constexpr size_t kFirstTry = 256;

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < kFirstPrintable || byte == kDelete;
}

}  // namespace

void ReportText::vappend(const char* format, va_list args) {
    const CNumericLocale cLocale;
    char small[kFirstTry];
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(small, sizeof small, format, args);
    if (needed < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(needed) < sizeof small) {
        text_.append(small, static_cast<size_t>(needed));
    } else {
        std::vector<char> large(static_cast<size_t>(needed) + 1);
        std::vsnprintf(large.data(), large.size(), format, again);
        text_.append(large.data(), static_cast<size_t>(needed));
    }
    va_end(again);
}

void ReportText::linef(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vappend(format, args);
    va_end(args);
    endLine();
}

void ReportText::appendf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vappend(format, args);
    va_end(args);
}

void ReportText::line(std::string_view text) {
    text_ += text;
    endLine();
}

void ReportText::errorLine(std::string_view text) {
    text_ += reporttext::kErrorPrefix;
    line(text);
}

std::string printableLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (isControl(c) && c != '\t') c = '?';
    return out;
}

std::string printableLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // the '\n' ends the line
        if (c == '\r' || c == '\n')
            out += reporttext::kLineEnd;
        else
            out += (isControl(c) && c != '\t') ? '?' : c;
    }
    return out;
}

std::string reportNamePart(std::string_view text) {
    if (text.empty()) return reporttext::kUnknownNamePart;
    // Each byte that may not stand in a name, and '%' itself, becomes %XX,
    // so two different texts never give the same name.
    std::string out;
    for (char c : text) {
        const bool secondDot = c == '.' && !out.empty() && out.back() == '.';
        if (c == '/' || c == '\\' || c == '%' || isControl(c) || secondDot) {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += escape;
        } else {
            out += c;
        }
    }
    if (out.size() <= reporttext::kMaxNamePartLength) return out;
    // Too long for a name: a cut, then "%%" (which no escape gives) and the
    // whole text's 64-bit FNV-1a hash, so long texts stay apart too.
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    char tail[19];
    std::snprintf(tail, sizeof tail, "%%%%%016llx", static_cast<unsigned long long>(hash));
    out.resize(reporttext::kMaxNamePartLength - (sizeof tail - 1));
    return out + tail;
}

std::string consoleLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

}  // namespace veltrion

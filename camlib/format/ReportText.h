#pragma once

// The text of a device health report: lines ended by "\r\n", numbers
// formatted with "." whatever the user's locale, and texts that come from a
// camera made harmless before they reach the report or a file name.

#include <cstdarg>
#include <string>
#include <string_view>

namespace veltrion {

namespace reporttext {
constexpr const char* kLineEnd = "\r\n";
constexpr const char* kErrorPrefix = "**ERROR** ";
// The longest name part a camera's text gives a folder or file.
constexpr size_t kMaxNamePartLength = 64;
// The name part of a camera that gives no serial number (no text's escapes
// give "%u").
constexpr const char* kUnknownNamePart = "%unknown";
}  // namespace reporttext

class ReportText {
public:
    ReportText() = default;
    explicit ReportText(std::string_view firstLine) { line(firstLine); }

    // One formatted line; device texts go in as arguments, never as the format.
    void linef(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Formatted text without a line end, for a line built in pieces.
    void appendf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void line(std::string_view text);
    void endLine() { text_ += reporttext::kLineEnd; }
    // A failure line: "**ERROR** " and the text.
    void errorLine(std::string_view text);
    // Text appended as it is (another section, a block of lines).
    void append(std::string_view text) { text_ += text; }
    void append(const ReportText& other) { text_ += other.text_; }

    const std::string& str() const { return text_; }
    bool empty() const { return text_.empty(); }

private:
    void vappend(const char* format, va_list args) __attribute__((format(printf, 2, 0)));
    std::string text_;
};

// A camera's one-line text as it goes into a report line: control characters
// become '?', so the camera cannot forge or break lines.
std::string printableLine(std::string_view text);

// A camera's multi-line text: line breaks become "\r\n" (a "\r\n" pair stays
// one break), other control characters become '?'.
std::string printableLines(std::string_view text);

// A camera's text as part of a folder or file name, one to one: '/', '\\',
// '%', control characters and the second of two dots become "%XX"; a name
// longer than 64 bytes is cut and ends in "%%" and a hash of the text;
// "%unknown" for an empty text.
std::string reportNamePart(std::string_view text);

// Converts "\r\n" line ends to "\n", for a report text shown on the console.
std::string consoleLines(std::string_view text);

}  // namespace veltrion

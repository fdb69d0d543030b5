#pragma once

#include <string>

#include "base/Logger.h"

// A logger that keeps every message it is given, for checking exact texts.
class CapturingLogger : public veltrion::Logger {
public:
    explicit CapturingLogger(int threshold = 2) : Logger(threshold) {}
    const std::string& text() const { return text_; }
    void clear() { text_.clear(); }
    bool contains(const std::string& part) const { return text_.find(part) != std::string::npos; }

protected:
    void output(const char* message) override { text_ += message; }

private:
    std::string text_;
};

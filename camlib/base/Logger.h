#pragma once

#include <cstdarg>

namespace veltrion {

// Message levels: errors and failure reports, results and progress, detail.
enum LogLevel : int { kLogError = 0, kLogInfo = 1, kLogDetail = 2 };

// Base of every logger. A message above the threshold is dropped before it is
// formatted; otherwise it is formatted into a 1024-byte buffer (cut to 1023
// characters) and handed to output().
class Logger {
public:
    static constexpr int kDefaultThreshold = 1;
    static constexpr int kBufferSize = 1024;

    explicit Logger(int threshold = kDefaultThreshold) : threshold_(threshold) {}
    virtual ~Logger() = default;
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    int threshold() const { return threshold_; }
    void setThreshold(int threshold) { threshold_ = threshold; }
    bool enabled(int level) const { return level <= threshold_; }

    void log(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void logv(int level, const char* format, va_list args) __attribute__((format(printf, 3, 0)));

protected:
    // Writes one finished message text.
    virtual void output(const char* text);

private:
    int threshold_;
};

// The logger a library object uses: its own until a program installs another.
// A null logger is ignored, so the pointer is never null.
class LoggerSlot {
public:
    LoggerSlot() : current_(&own_) {}
    LoggerSlot(const LoggerSlot&) = delete;
    LoggerSlot& operator=(const LoggerSlot&) = delete;

    void set(Logger* logger) {
        if (logger) current_ = logger;
    }
    Logger& get() const { return *current_; }
    Logger* operator->() const { return current_; }

private:
    Logger own_;
    Logger* current_;
};

}  // namespace veltrion

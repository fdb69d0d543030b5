#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "base/Logger.h"

namespace veltrion::cli {

// Closes a C stream when its owner goes.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The tool's logger: every message goes to the log file of -o (flushed at
// once, so the file is complete even if the run is cut short) and then to
// standard output.
class UtilsLogger : public Logger {
public:
    UtilsLogger() : Logger(kDefaultThreshold) {}

    // Takes the log file opened by -o; it stays open until the process ends.
    void setLogFile(FilePtr file, std::string path) {
        logFile_ = std::move(file);
        logPath_ = std::move(path);
    }

protected:
    void output(const char* text) override;

private:
    std::mutex outputMutex_;  // lines of monitors and parallel updates come from several threads
    FilePtr logFile_;
    std::string logPath_;
    bool logFileFailed_ = false;  // warned once; the messages still reach standard output
};

// The one logger of the run.
UtilsLogger& toolLogger();

}  // namespace veltrion::cli

#pragma once

// The run's log file. Each run writes its own file in the temporary folder,
// named after the local time the program started. Opening it points standard
// output and standard error at it, so the logger's records and anything else
// the program or its libraries print end up in the one file.

#include <ctime>
#include <string>

#include "base/Logger.h"

namespace veltrion::desktop {

class LogFile {
public:
    // The name is fixed here, from the given start time, and kept.
    explicit LogFile(std::time_t startTime = std::time(nullptr));
    explicit LogFile(const std::tm& localStart);

    // "Veltrion2Utility__YYYY-MM-DD__hh-mm-ss.log" for a local time.
    static std::string fileNameFor(const std::tm& localStart);

    // Temporary folder + "/" + the file name.
    const std::string& path() const { return path_; }

    // Creates (or truncates) the file, private to the user, and makes it the
    // process's standard output and standard error; then logs the start line.
    // Runs once: later calls only report the first call's result. When the
    // file cannot be opened (a symbolic link in its place, for one) a line on
    // the original standard error says why, the standard streams stay as
    // they were and the result is false.
    bool open(Logger& log);

    bool isOpen() const { return state_ == State::Open; }

private:
    enum class State { NotOpened, Open, Failed };

    bool redirectStandardStreams();

    std::string path_;
    State state_ = State::NotOpened;
};

}  // namespace veltrion::desktop

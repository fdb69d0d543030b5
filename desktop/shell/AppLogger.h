#pragma once

#include "base/Logger.h"

namespace veltrion::desktop {

// The program's logger: every record goes to standard output (which the shell
// points at the run's log file), stamped with the local time, and is flushed
// at once so that a copy of the log taken for a report holds it.
class AppLogger : public Logger {
public:
    AppLogger() : Logger(1) {}

protected:
    void output(const char* text) override;
};

}  // namespace veltrion::desktop

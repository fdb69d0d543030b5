#pragma once

// What the benchmarks share: a logger that keeps the figures free of the
// library's progress lines.

#include "base/Logger.h"

class QuietLogger : public veltrion::Logger {
public:
    QuietLogger() : Logger(0) {}

protected:
    void output(const char*) override {}
};

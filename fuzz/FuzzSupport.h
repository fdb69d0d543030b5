#pragma once

// What every fuzz target shares: a logger that formats every message (so the
// format arguments are exercised) and writes none, and the check that turns
// a broken promise of the code under test into a crash the fuzzer reports.

#include <cstdlib>

#include "base/Logger.h"

namespace fuzzsupport {

class QuietLogger : public veltrion::Logger {
public:
    QuietLogger() : Logger(veltrion::kLogDetail) {}

protected:
    void output(const char*) override {}
};

// A result that breaks what the code promises is a finding like a crash.
inline void require(bool promise) {
    if (!promise) std::abort();
}

}  // namespace fuzzsupport

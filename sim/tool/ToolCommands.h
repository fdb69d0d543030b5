#pragma once

// The veltrion-sim command line, runnable in-process.

#include <ostream>
#include <string>
#include <vector>

namespace camsim {

constexpr int kToolOk = 0;
constexpr int kToolError = 1;

// args excludes the program name. defaultDir is $VELTRION_SIM (or empty).
// Prints results to out and one-line errors to err; returns the exit status.
int runTool(const std::vector<std::string>& args, const std::string& defaultDir, std::ostream& out,
            std::ostream& err);

}  // namespace camsim

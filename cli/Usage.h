#pragma once

namespace veltrion::cli {

// The tool's version, shown by -v and in the usage text.
inline constexpr const char* kToolVersion = "2.3.2";

// Prints the usage text straight to the console (never into the -o file).
void usage(const char* programName);

}  // namespace veltrion::cli

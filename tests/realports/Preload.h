#pragma once

// The real USB code runs against a umockdev testbed only when the process was
// started under umockdev's preload library; without it the very same calls
// would reach the host's real devices. Everything here guards that boundary.

#include <string>

namespace veltrion::realports {

constexpr const char* kPreloadLibrary = "libumockdev-preload.so.0";

// LD_PRELOAD names umockdev's preload library. (umockdev's own check caches
// its first answer and, asked too early, disables uevents: not used.)
bool preloadActive();

// Throws std::runtime_error naming the fix when the preload is not active.
void requirePreload();

// Marks a testbed root as this process's, so a later run can tell it from the
// testbeds of other running programs.
void claimTestbedRoot(const std::string& root);

// Removes testbed roots claimed by processes that no longer run (left behind
// by a crash or a kill); roots of live processes and unclaimed ones stay.
void sweepAbandonedTestbeds();

}  // namespace veltrion::realports

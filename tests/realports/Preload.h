#pragma once

// The real USB code runs against a umockdev testbed only when the process was
// started under umockdev's preload library; without it the very same calls
// would reach the host's real devices. Everything here guards that boundary.

namespace veltrion::realports {

constexpr const char* kPreloadLibrary = "libumockdev-preload.so.0";

// LD_PRELOAD names umockdev's preload library. (umockdev's own check caches
// its first answer and, asked too early, disables uevents: not used.)
bool preloadActive();

// Throws std::runtime_error naming the fix when the preload is not active.
void requirePreload();

}  // namespace veltrion::realports

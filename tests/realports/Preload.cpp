#include "Preload.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace veltrion::realports {

namespace {

constexpr const char* kPreloadName = "libumockdev-preload.so";

}  // namespace

bool preloadActive() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::string(preload).find(kPreloadName) != std::string::npos;
}

void requirePreload() {
    if (preloadActive()) return;
    throw std::runtime_error(std::string("the umockdev preload is not active: run under LD_PRELOAD=") +
                             kPreloadLibrary + " (ctest sets it); refusing to touch the host's USB devices");
}

}  // namespace veltrion::realports

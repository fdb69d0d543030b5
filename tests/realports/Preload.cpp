#include "Preload.h"

#include <glib.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace veltrion::realports {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPreloadName = "libumockdev-preload.so";
constexpr const char* kTestbedPrefix = "umockdev.";
constexpr const char* kOwnerFile = ".veltrion-bridge-owner";

bool processRuns(pid_t pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

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

void claimTestbedRoot(const std::string& root) {
    std::ofstream(fs::path(root) / kOwnerFile) << ::getpid() << "\n";
}

void sweepAbandonedTestbeds() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(g_get_tmp_dir(), error)) {
        if (entry.path().filename().string().rfind(kTestbedPrefix, 0) != 0) continue;
        std::ifstream owner(entry.path() / kOwnerFile);
        pid_t pid = 0;
        if (!(owner >> pid) || processRuns(pid)) continue;
        std::error_code ignored;
        fs::remove_all(entry.path(), ignored);
    }
}

}  // namespace veltrion::realports

#include "TestbedRoots.h"

#include <glib.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace veltrion::realports {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTestbedPrefix = "umockdev.";
constexpr const char* kOwnerFile = ".veltrion-bridge-owner";

bool processRuns(pid_t pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

}  // namespace

void claimTestbedRoot(const std::string& root) {
    std::ofstream(fs::path(root) / kOwnerFile) << ::getpid() << "\n";
}

void sweepAbandonedTestbeds() {
    std::error_code error;
    // umockdev makes its folders where GLib keeps temporary files.
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

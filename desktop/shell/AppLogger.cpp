#include "shell/AppLogger.h"

#include <cstdio>
#include <ctime>

namespace veltrion::desktop {

void AppLogger::output(const char* text) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // One formatted print per record: stdio's own lock keeps records of
    // different threads from interleaving.
    std::printf("%4d-%02d-%02d__%02d-%02d-%02d | %s", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec, text);
    std::fflush(stdout);
}

}  // namespace veltrion::desktop

#include "config/ConfigBackup.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "base/WaitClock.h"

namespace veltrion::configbackup {

namespace fs = std::filesystem;

namespace {

constexpr const char* kAppFolder = "veltrion";
constexpr const char* kBackupFolder = "config-backups";
constexpr const char* kUnknownSerial = "unknown";
// Names already taken in the same second get a counter; this bounds the search.
constexpr int kMaxNameAttempts = 100;

std::string utcTimestamp() {
    using namespace std::chrono;
    // A replay names the backup as the recorded run did.
    const auto now = WaitClock::timeOfDay();
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{floor<seconds>(now - day)};
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02u%02u-%02ld%02ld%02ldZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<long>(time.hours().count()), static_cast<long>(time.minutes().count()),
                  static_cast<long>(time.seconds().count()));
    return text;
}

bool isNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.';
}

}  // namespace

std::optional<fs::path> directory() {
    // A relative XDG_STATE_HOME is invalid and ignored, as the base-directory rules say.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state && fs::path(state).is_absolute())
        return fs::path(state) / kAppFolder / kBackupFolder;
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".local" / "state" / kAppFolder / kBackupFolder;
    return std::nullopt;
}

std::string fileNamePart(const std::string& serial) {
    std::string out;
    for (char c : serial) out.push_back(isNameCharacter(c) ? c : '_');
    const bool usable = out.find_first_not_of("._") != std::string::npos;
    return usable ? out : kUnknownSerial;
}

std::optional<fs::path> save(std::span<const uint8_t> image, const std::string& serial, std::string& error) {
    const auto folder = directory();
    if (!folder) {
        error = "neither XDG_STATE_HOME nor HOME is set";
        return std::nullopt;
    }
    std::error_code code;
    fs::create_directories(*folder, code);
    if (code) {
        error = "cannot create " + folder->string() + ": " + code.message();
        return std::nullopt;
    }
    const std::string stem = fileNamePart(serial) + "-" + utcTimestamp();
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const std::string suffix = attempt == 0 ? "" : "-" + std::to_string(attempt);
        const fs::path file = *folder / (stem + suffix + ".bin");
        if (fs::exists(file, code)) continue;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        out.close();
        if (!out) {
            error = "cannot write " + file.string();
            fs::remove(file, code);
            return std::nullopt;
        }
        return file;
    }
    error = "no free file name for " + stem + " in " + folder->string();
    return std::nullopt;
}

}  // namespace veltrion::configbackup

#include "HotplugEvents.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "SimUsbPort.h"
#include "SimVideoPort.h"

namespace camsim {

namespace {

constexpr char kSeparator = '\t';
constexpr std::string_view kArrivalWord = "add";
constexpr std::string_view kRemovalWord = "remove";
constexpr mode_t kLogMode = 0644;

}  // namespace

std::filesystem::path hotplugLogFile(const std::filesystem::path& busDir) { return busDir / kHotplugLogName; }

BusEvent nodeEvent(veltrion::HotplugEvent::Kind kind, const std::string& name, const BusView& view, int64_t dueMs) {
    BusEvent out;
    out.dueMs = dueMs;
    out.event.kind = kind;
    if (view.bootLoader) {
        out.event.devicePath = simDevicePath(name, view.vendorId, view.productId, view.serial);
    } else {
        out.event.devicePath = simVideoLink(name, view);
        out.event.friendlyName = view.friendlyName;
    }
    return out;
}

std::string formatBusEvent(const BusEvent& event) {
    const bool arrival = event.event.kind == veltrion::HotplugEvent::Kind::Arrival;
    std::string line = std::to_string(event.dueMs);
    line += kSeparator;
    line += arrival ? kArrivalWord : kRemovalWord;
    line += kSeparator;
    line += event.event.devicePath;
    line += kSeparator;
    line += event.event.friendlyName;
    line += '\n';
    return line;
}

std::optional<BusEvent> parseBusEvent(std::string_view line) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    const size_t kindAt = line.find(kSeparator);
    if (kindAt == std::string_view::npos) return std::nullopt;
    const size_t pathAt = line.find(kSeparator, kindAt + 1);
    if (pathAt == std::string_view::npos) return std::nullopt;
    const size_t nameAt = line.find(kSeparator, pathAt + 1);
    if (nameAt == std::string_view::npos) return std::nullopt;

    BusEvent out;
    const auto [end, error] = std::from_chars(line.data(), line.data() + kindAt, out.dueMs);
    if (error != std::errc() || end != line.data() + kindAt) return std::nullopt;
    const std::string_view kind = line.substr(kindAt + 1, pathAt - kindAt - 1);
    if (kind == kArrivalWord)
        out.event.kind = veltrion::HotplugEvent::Kind::Arrival;
    else if (kind == kRemovalWord)
        out.event.kind = veltrion::HotplugEvent::Kind::Removal;
    else
        return std::nullopt;
    out.event.devicePath = line.substr(pathAt + 1, nameAt - pathAt - 1);
    if (out.event.devicePath.empty()) return std::nullopt;
    out.event.friendlyName = line.substr(nameAt + 1);
    return out;
}

bool appendBusEvent(const std::filesystem::path& busDir, const BusEvent& event) {
    const std::string line = formatBusEvent(event);
    const int fd = ::open(hotplugLogFile(busDir).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kLogMode);
    if (fd < 0) return false;
    ssize_t written = -1;
    do {
        written = ::write(fd, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    ::close(fd);
    return written == static_cast<ssize_t>(line.size());
}

}  // namespace camsim

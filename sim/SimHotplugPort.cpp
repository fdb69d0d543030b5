#include "SimHotplugPort.h"

#include <algorithm>
#include <fstream>

namespace camsim {

SimHotplugPort::SimHotplugPort(std::filesystem::path busDir) : log_(hotplugLogFile(busDir)) {
    // What happened before the port was made is not news; what is still to
    // happen (a camera re-enumerating) is.
    readNewLines();
    const int64_t now = wallClockMs();
    std::erase_if(pending_, [now](const BusEvent& event) { return event.dueMs <= now; });
}

void SimHotplugPort::readNewLines() {
    std::error_code error;
    const uint64_t size = std::filesystem::file_size(log_, error);
    if (error) return;  // no event yet
    if (size < offset_) offset_ = 0;  // a new log in its place
    if (size == offset_) return;
    std::ifstream in(log_, std::ios::binary);
    if (!in.seekg(static_cast<std::streamoff>(offset_))) return;
    std::string chunk(size - offset_, '\0');
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    chunk.resize(static_cast<size_t>(in.gcount()));
    // A line is taken whole; a line being written waits for the next read.
    size_t start = 0;
    for (size_t end = chunk.find('\n'); end != std::string::npos; end = chunk.find('\n', start)) {
        if (auto event = parseBusEvent(std::string_view(chunk).substr(start, end - start)))
            pending_.push_back(std::move(*event));
        start = end + 1;
    }
    offset_ += start;
}

void SimHotplugPort::takeEvents(std::vector<veltrion::HotplugEvent>& events) {
    readNewLines();
    // Each camera's events are due in log order; those of different cameras
    // may pass each other.
    const int64_t now = wallClockMs();
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->dueMs > now) {
            ++it;
            continue;
        }
        events.push_back(std::move(it->event));
        it = pending_.erase(it);
    }
}

}  // namespace camsim

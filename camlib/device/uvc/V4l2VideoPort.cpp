#include "V4l2VideoPort.h"

#include <algorithm>
#include <cerrno>

#include "V4l2Node.h"
#include "V4l2VideoSource.h"
#include "device/UdevHandles.h"

namespace veltrion {

int V4l2VideoPort::listSources(std::vector<VideoSourceEntry>& sources) {
    sources.clear();
    UdevContext context(udev_new());
    if (!context) return -ENOMEM;
    int refused = 0;
    for (const auto& node : v4l2::openCaptureNodes(context.get(), refused))
        sources.push_back({node.link, node.card, node.parent.serial, node.parent.serialKnown});
    std::sort(sources.begin(), sources.end(), [](const VideoSourceEntry& a, const VideoSourceEntry& b) {
        return a.symbolicLink < b.symbolicLink;
    });
    return sources.empty() ? refused : 0;
}

int V4l2VideoPort::openSource(const std::string& symbolicLink, std::shared_ptr<VideoSource>& source) {
    source.reset();
    UdevContext context(udev_new());
    if (!context) return -ENOMEM;
    int refused = 0;
    for (auto& node : v4l2::openCaptureNodes(context.get(), refused)) {
        if (node.link != symbolicLink) continue;
        source = std::make_shared<V4l2VideoSource>(std::move(node));
        return 0;
    }
    // A node this process may not open could be the one asked for.
    return refused ? refused : -ENODEV;
}

}  // namespace veltrion

#pragma once

// The process-wide cache of open capture sources: one per camera, shared by
// every handle of that camera until the source is shut down (after a reset,
// on removal, when opening its unit fails, when the channel ends).

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "VideoPort.h"

namespace veltrion {

class MediaSourceCache {
public:
    static MediaSourceCache& instance();

    // The cached source of the key; a source whose device is gone is dropped
    // and a new one opened through the port. Null when none can be opened.
    std::shared_ptr<VideoSource> acquire(VideoPort& port, const std::string& key, const std::string& symbolicLink);
    // Whether the link still maps to exactly this source.
    bool holds(const std::string& symbolicLink, const VideoSource* source);
    // Takes the link's entries out of the cache and hands over its source
    // (null when nothing was cached): only the caller ever shuts it down.
    std::shared_ptr<VideoSource> takeOut(const std::string& symbolicLink);

private:
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<VideoSource>> sourceByKey_;
    std::map<std::string, std::string> keyByLink_;  // lower-cased link
};

// Shuts the source of a link down on a worker thread, abandoned after 1000 ms.
void shutDownMediaSource(const std::string& symbolicLink);

std::string lowerCaseText(std::string text);

}  // namespace veltrion

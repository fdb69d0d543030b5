#pragma once

// The operating system's video stack: capture nodes of uvcvideo, found with
// libudev, their extension unit reached with UVCIOC_CTRL_QUERY and their
// standard controls with V4L2 control ioctls.

#include "VideoPort.h"

namespace veltrion {

class V4l2VideoPort : public VideoPort {
public:
    V4l2VideoPort() = default;

    // Every capture node with a USB parent, any vendor. Nodes that cannot be
    // opened are left out; when that leaves nothing because access was
    // refused, the result is -EACCES (video nodes normally get "uaccess").
    int listSources(std::vector<VideoSourceEntry>& sources) override;
    int openSource(const std::string& symbolicLink, std::shared_ptr<VideoSource>& source) override;
};

}  // namespace veltrion

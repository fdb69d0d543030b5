#pragma once

// The video4linux side of a bridged camera as uvcvideo would make it: the
// USB device's VideoControl interface (interface 0) with a capture node and
// a metadata node under it, written as a umockdev testbed record.

#include <string>

#include "SysfsDevice.h"

namespace veltrion::realports {

// Where a camera's two video nodes sit. umockdev cannot create a /dev node
// under a name it has used before, so every enumeration takes new numbers,
// as the kernel does when the old ones are still held open.
struct VideoPlace {
    BusPlace usb;
    int captureIndex = 0;  // videoN; the metadata node is videoN+1

    int metadataIndex() const { return captureIndex + 1; }
    std::string interfaceSysPath() const;  // .../1-2/1-2:1.0
    std::string nodeSysPath(int index) const;  // .../1-2/1-2:1.0/video4linux/videoN
    static std::string devNode(int index);  // /dev/videoN
    // "usb-0000:00:14.0-2", as uvcvideo fills the bus_info of QUERYCAP.
    std::string busInfo() const;
};

// The interface and both nodes; the card name is each node's "name".
std::string videoTestbedRecord(const VideoPlace& place, const std::string& cardName);

}  // namespace veltrion::realports

#pragma once

#include <string>
#include <vector>

#include "manager/Veltrion2CamMgr.h"

namespace veltrion::cli {

// -p: programs one camera or all from an update image.
bool updateCameraFirmware(const std::string& selector, const std::string& imageFile, bool force,
                          Veltrion2CamMgr& mgr);

// -t: tells whether a camera would be updated and how long it would take.
bool displayDeviceUpdateInfo(const std::string& selector, const std::string& imageFile, Veltrion2CamMgr& mgr);

// -b: counts controllers stuck in boot mode; true when there is at least one.
bool reportBrokenCameras(Veltrion2CamMgr& mgr);

// -c: builds a single-camera update image from its component files.
bool createSingleImage(const std::vector<std::string>& files, Veltrion2CamMgr& mgr);

// --uni: builds a unified package from several update images.
bool createUnifiedImage(const std::vector<std::string>& files, Veltrion2CamMgr& mgr);

}  // namespace veltrion::cli

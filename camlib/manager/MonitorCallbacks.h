#pragma once

// What the camera's monitors report to a program, called on the monitor's
// own thread.

#include <cstdint>
#include <string>
#include <vector>

#include "format/MonitorRecords.h"

namespace veltrion {

class OnSFROIDataCallback {
public:
    virtual ~OnSFROIDataCallback() = default;
    // Start X in bits 15..0, end X in bits 31..16.
    virtual void onROIData(uint32_t roi) = 0;
    virtual void onNoROIData() = 0;
    // The last call before the monitor's thread ends on an error.
    virtual void onROIError(const std::string& error) = 0;
};

class OnSFRawFaceDataCallback {
public:
    virtual ~OnSFRawFaceDataCallback() = default;
    virtual void onRawFaceData(const std::vector<FaceRecord>& isp0, const std::vector<FaceRecord>& isp1,
                               const std::vector<FaceRecord>& isp2) = 0;
    virtual void onStreamingStatus(bool streaming) = 0;
    virtual void onNoRawFaceData() = 0;
    virtual void onRawFaceError(const std::string& error) = 0;
};

}  // namespace veltrion

#pragma once

// The UVC channel's port onto a simulated bus: one capture source per camera
// that is on the bus and running as a camera (a boot loader has no video
// function). Links look like "simv:<name>:vid_vvvv&pid_pppp:<serial>".

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BusView.h"
#include "device/uvc/VideoPort.h"

namespace camsim {

constexpr const char* kSimVideoScheme = "simv:";

class SimVideoPort : public veltrion::VideoPort {
public:
    explicit SimVideoPort(std::filesystem::path busDir);

    int listSources(std::vector<veltrion::VideoSourceEntry>& sources) override;
    int openSource(const std::string& symbolicLink, std::shared_ptr<veltrion::VideoSource>& source) override;

private:
    std::filesystem::path busDir_;
};

// The capture node's link of a camera as the bus shows it.
std::string simVideoLink(const std::string& name, const BusView& view);

}  // namespace camsim

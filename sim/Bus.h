#pragma once

// A simulated USB bus over a directory: plug cameras in and out, change their
// state, arm faults and read their counters. The veltrion-sim tool is a thin
// front over this; tests use it in-process. Operations throw SimError with a
// one-line message.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CameraState.h"

namespace camsim {

class Camera;

// The model a camera is unless told otherwise.
constexpr uint16_t kDefaultProductId = 0x0003;

struct AddOptions {
    uint16_t productId = kDefaultProductId;
    std::string serial;  // empty: derived from the name
    bool blank = false;  // erased flash: the camera comes up as the boot loader
    // Another maker's id on a camera of the line's hardware (the product id
    // picks the model and its firmware).
    std::optional<uint16_t> vendorId;
};

struct CameraListing {
    std::string name;
    std::string path;  // the device path the camera has (or would have) on the bus
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;  // empty in boot-loader mode
    bool present = false;
    bool bootLoader = false;
};

class Bus {
public:
    explicit Bus(std::filesystem::path dir);

    const std::filesystem::path& dir() const { return dir_; }

    void add(const std::string& name, const AddOptions& options = {});
    void add(const std::string& name, uint16_t productId, const std::string& serial, bool blank);
    void remove(const std::string& name);
    // Unplug and plug in again (power cycle).
    void replug(const std::string& name);
    std::vector<CameraListing> list() const;
    CameraListing find(const std::string& name) const;

    void set(const std::string& name, const std::string& key, const std::string& value);
    void fault(const std::string& name, const std::string& key, const std::string& value);
    // Counter name to value: resets, power-cycles, transfers-0xNN, ...
    std::map<std::string, uint64_t> stats(const std::string& name) const;
    CameraState state(const std::string& name) const;

    // The flash as an external programmer sees it; writes overwrite.
    void writeFlash(const std::string& name, uint32_t address, const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> readFlash(const std::string& name, uint32_t address, uint32_t length) const;

    // The bus's hot-plug event log, as it stands.
    std::string eventLog() const;

private:
    std::shared_ptr<Camera> camera(const std::string& name) const;

    std::filesystem::path dir_;
};

}  // namespace camsim

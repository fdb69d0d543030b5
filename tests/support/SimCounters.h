#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "Bus.h"

// A counter of a simulated camera as `veltrion-sim stats` names it; 0 when
// the camera has not counted it yet.
inline uint64_t simCounter(const camsim::Bus& bus, const std::string& camera, const std::string& key) {
    const auto stats = bus.stats(camera);
    const auto found = stats.find(key);
    return found == stats.end() ? 0 : found->second;
}

// The counter of transfers with one request code.
inline uint64_t simTransfers(const camsim::Bus& bus, const std::string& camera, uint8_t request) {
    char key[32];
    std::snprintf(key, sizeof key, "transfers-0x%02x", request);
    return simCounter(bus, camera, key);
}

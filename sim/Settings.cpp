#include "Settings.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "SensorTemperature.h"
#include "SimError.h"
#include "Timing.h"

namespace camsim {

namespace {

bool parseUnsigned(const std::string& text, int base, unsigned long long max, unsigned long long& value) {
    if (text.empty() || text.front() == '-' || text.front() == '+' || text.front() == ' ') return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoull(text.c_str(), &end, base);
    return errno == 0 && *end == '\0' && value <= max;
}

unsigned long long number(const std::string& key, const std::string& value, unsigned long long min,
                          unsigned long long max) {
    unsigned long long parsed = 0;
    if (!parseUnsigned(value, 10, max, parsed) || parsed < min)
        throw SimError("bad value '" + value + "' for " + key + " (expected " + std::to_string(min) + ".." +
                       std::to_string(max) + ")");
    return parsed;
}

bool flag(const std::string& key, const std::string& value) {
    if (value == "0") return false;
    if (value == "1") return true;
    throw SimError("bad value '" + value + "' for " + key + " (expected 0 or 1)");
}

// "c2:3" or "0xC2:3" for fail-next and short-reply; "0" clears every
// pending one.
void applyRequestCount(std::map<uint8_t, uint32_t>& counts, const std::string& key, const std::string& value) {
    if (value == "0") {
        counts.clear();
        return;
    }
    const size_t colon = value.find(':');
    std::string request = value.substr(0, colon);
    if (request.size() > 2 && request[0] == '0' && (request[1] == 'x' || request[1] == 'X')) request.erase(0, 2);
    unsigned long long code = 0;
    unsigned long long count = 0;
    if (colon == std::string::npos || !parseUnsigned(request, 16, 0xFF, code) ||
        !parseUnsigned(value.substr(colon + 1), 10, std::numeric_limits<uint32_t>::max(), count))
        throw SimError("bad value '" + value + "' for " + key + " (expected REQ:N with REQ in hex, or 0)");
    if (count == 0)
        counts.erase(static_cast<uint8_t>(code));
    else
        counts[static_cast<uint8_t>(code)] = static_cast<uint32_t>(count);
}

}  // namespace

std::vector<std::string> settingKeys() {
    return {"streaming", "usb-type", "ext-power", "system-loaded", "timing", "sensor-temp"};
}

std::vector<std::string> faultKeys() {
    return {"refuse-df", "refuse-c1", "refuse-checksum", "checksum-inconsistent", "busy-stuck",
            "power-loss-after-pages", "fail-next", "ram-readback-corrupt", "short-reply"};
}

void applySetting(CameraState& state, const std::string& key, const std::string& value) {
    if (key == "streaming") {
        state.run.streaming = flag(key, value);
    } else if (key == "usb-type") {
        state.run.usbType = static_cast<int>(number(key, value, 1, 3));
    } else if (key == "ext-power") {
        state.run.externalPower = flag(key, value) ? 1 : 0;
    } else if (key == "system-loaded") {
        if (value == "auto")
            state.run.systemLoaded = SystemLoadedOverride::Auto;
        else
            state.run.systemLoaded = flag(key, value) ? SystemLoadedOverride::On : SystemLoadedOverride::Off;
    } else if (key == "timing") {
        const auto preset = timingPreset(value);
        if (!preset) throw SimError("bad value '" + value + "' for timing (expected zero or realistic)");
        state.timing = *preset;
    } else if (key == "sensor-temp") {
        const auto temperatures = parseSensorTemperatures(value);
        if (!temperatures)
            throw SimError("bad value '" + value + "' for sensor-temp (expected T or T0,T1,T2 in -40..125)");
        state.run.sensorTempC = *temperatures;
    } else {
        throw SimError("unknown key '" + key + "'");
    }
}

void applyFault(CameraState& state, const std::string& key, const std::string& value) {
    Faults& faults = state.faults;
    if (key == "refuse-df") {
        faults.refuseSystemLoaded = flag(key, value);
    } else if (key == "refuse-c1") {
        faults.refuseSyncStatus = flag(key, value);
    } else if (key == "refuse-checksum") {
        faults.refuseChecksum = flag(key, value);
    } else if (key == "checksum-inconsistent") {
        faults.checksumInconsistent = flag(key, value);
    } else if (key == "busy-stuck") {
        faults.busyStuck = flag(key, value);
    } else if (key == "power-loss-after-pages") {
        faults.powerLossAfterPages =
            static_cast<uint32_t>(number(key, value, 0, std::numeric_limits<uint32_t>::max()));
    } else if (key == "power-loss-during-erase") {
        faults.powerLossDuringErase =
            static_cast<uint32_t>(number(key, value, 0, std::numeric_limits<uint32_t>::max()));
    } else if (key == "fail-next") {
        applyRequestCount(faults.failNext, key, value);
    } else if (key == "short-reply") {
        applyRequestCount(faults.shortReply, key, value);
    } else if (key == "ram-readback-corrupt") {
        faults.ramReadbackCorrupt = flag(key, value);
    } else {
        throw SimError("unknown fault '" + key + "'");
    }
}

}  // namespace camsim

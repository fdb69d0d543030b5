#include "Settings.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <vector>

#include "SensorTemperature.h"
#include "format/FlashMap.h"
#include "SimError.h"
#include "FaceState.h"
#include "Timing.h"
#include "VideoControls.h"

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

// serial-answer TEXT: what the serial-number string descriptor says (any
// ASCII, control characters and the empty text included, so tests can play a
// damaged or hostile camera); "default" gives the camera's serial again.
constexpr size_t kMaxSerialAnswer = 126;  // UTF-16 units a string descriptor holds
std::optional<std::string> serialAnswer(const std::string& value) {
    if (value == "default") return std::nullopt;
    const bool ascii = std::all_of(value.begin(), value.end(), [](unsigned char c) { return c < 0x80; });
    if (value.size() > kMaxSerialAnswer || !ascii)
        throw SimError("bad value for serial-answer (at most " + std::to_string(kMaxSerialAnswer) +
                       " ASCII characters, or default)");
    return value;
}

// fail-read-at ADDR[:K] (ADDR in hex): flash reads of the page holding ADDR
// fail once K reads of it went through; "none" disarms it.
void applyReadFault(Faults& faults, const std::string& value) {
    if (value == "none") {
        faults.failReadAt = -1;
        faults.failReadAfter = 0;
        return;
    }
    const size_t colon = value.find(':');
    std::string address = value.substr(0, colon);
    if (address.size() > 2 && address[0] == '0' && (address[1] == 'x' || address[1] == 'X')) address.erase(0, 2);
    unsigned long long parsedAddress = 0;
    unsigned long long after = 0;
    if (!parseUnsigned(address, 16, veltrion::flashmap::kFlashSize - 1, parsedAddress) ||
        (colon != std::string::npos &&
         !parseUnsigned(value.substr(colon + 1), 10, std::numeric_limits<uint32_t>::max(), after)))
        throw SimError("bad value '" + value + "' for fail-read-at (expected ADDR or ADDR:K with ADDR in hex, or none)");
    faults.failReadAt = static_cast<int64_t>(parsedAddress);
    faults.failReadAfter = static_cast<uint32_t>(after);
}

// The longest a page may take to program (a worn chip's worst case).
constexpr unsigned long long kMaxPageProgramUs = 100'000;

// checksum-ms T or T0,..,T5: how long the camera sums each component type.
constexpr unsigned long long kMaxChecksumMs = 60'000;
std::array<uint32_t, 6> checksumTimes(const std::string& value) {
    std::array<uint32_t, 6> times{};
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        const size_t comma = value.find(',', start);
        parts.push_back(value.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    unsigned long long ms = 0;
    if (parts.size() != 1 && parts.size() != times.size())
        throw SimError("bad value '" + value + "' for checksum-ms (expected T or T0,..,T5 in ms)");
    for (size_t type = 0; type < times.size(); ++type) {
        if (!parseUnsigned(parts[parts.size() == 1 ? 0 : type], 10, kMaxChecksumMs, ms))
            throw SimError("bad value '" + value + "' for checksum-ms (expected T or T0,..,T5 in ms, at most 60000)");
        times[type] = static_cast<uint32_t>(ms * 1000);
    }
    return times;
}

constexpr const char* kControlPrefix = "control-";
// The longest an extension-unit call may be made to wait.
constexpr unsigned long long kMaxXuStallMs = 60'000;
constexpr size_t kMaxFriendlyName = 255;

// A friendly name goes into event-log lines and capture-node listings: one
// line of printable text.
std::string friendlyName(const std::string& value) {
    const bool printable = std::all_of(value.begin(), value.end(), [](unsigned char c) { return c >= 0x20 && c != 0x7F; });
    if (value.empty() || value.size() > kMaxFriendlyName || !printable)
        throw SimError("bad value '" + value + "' for friendly-name (1.." + std::to_string(kMaxFriendlyName) +
                       " printable characters)");
    return value;
}

// control-NAME V: a value inside the control's range (not fitted to its
// step: the camera fits what it is given when it is read).
void applyControl(CameraState& state, const std::string& key, const std::string& value) {
    const VideoControlInfo* control = findVideoControl(key.substr(std::string(kControlPrefix).size()));
    if (!control) throw SimError("unknown key '" + key + "'");
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(value.c_str(), &end, 10);
    if (value.empty() || errno != 0 || *end != '\0' || parsed < control->range.minimum || parsed > control->range.maximum)
        throw SimError("bad value '" + value + "' for " + key + " (expected " + std::to_string(control->range.minimum) +
                       ".." + std::to_string(control->range.maximum) + ")");
    state.video.controls[control->name] = static_cast<int32_t>(parsed);
}

}  // namespace

std::vector<std::string> settingKeys() {
    std::vector<std::string> keys = {"streaming",  "usb-type", "ext-power",   "system-loaded", "timing",
                                     "sensor-temp", "page-program-us", "checksum-ms", "xu-ready", "runtime-switches", "framing",    "enhancement",   "friendly-name",
                                     "serial-hidden"};
    for (const VideoControlInfo& control : videoControlTable()) keys.push_back(kControlPrefix + std::string(control.name));
    for (const std::string& key : faceSettingKeys()) keys.push_back(key);
    for (const std::string& key : selfTestSettingKeys()) keys.push_back(key);
    keys.push_back("serial-answer");
    keys.push_back("lut");
    return keys;
}

std::vector<std::string> faultKeys() {
    return {"refuse-df",   "refuse-c1",           "refuse-checksum", "checksum-inconsistent",
            "busy-stuck",  "power-loss-after-pages", "fail-next",   "ram-readback-corrupt",
            "short-reply", "xu-stall-ms",         "xu-vanish-after", "fail-nth",
            "fail-read-at"};
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
    } else if (key == "page-program-us") {
        state.timing.pageProgramUs = static_cast<uint32_t>(number(key, value, 0, kMaxPageProgramUs));
    } else if (key == "checksum-ms") {
        state.timing.checksumUs = checksumTimes(value);
    } else if (key == "xu-ready") {
        state.video.ready = flag(key, value);
    } else if (key == "runtime-switches") {
        state.video.switchesPresent = flag(key, value);
    } else if (key == "framing") {
        state.video.framing = flag(key, value);
    } else if (key == "enhancement") {
        state.video.enhancement = flag(key, value);
    } else if (key == "friendly-name") {
        state.identity.friendlyName = friendlyName(value);
    } else if (key == "serial-hidden") {
        state.identity.serialHidden = flag(key, value);
    } else if (key.rfind(kControlPrefix, 0) == 0) {
        applyControl(state, key, value);
    } else if (isFaceSetting(key)) {
        applyFaceSetting(state.face, key, value);
    } else if (key == "serial-answer") {
        state.identity.serialAnswer = serialAnswer(value);
    } else if (key == "lut") {
        // The table lies in flash; Bus::set writes it there.
        if (value != "erased" && value != "factory")
            throw SimError("bad value '" + value + "' for lut (expected erased or factory)");
    } else if (!applySelfTestSetting(state.selfTest, key, value)) {
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
    } else if (key == "xu-stall-ms") {
        faults.xuStallMs = static_cast<uint32_t>(number(key, value, 0, kMaxXuStallMs));
    } else if (key == "xu-vanish-after") {
        faults.xuVanishAfter = static_cast<uint32_t>(number(key, value, 0, std::numeric_limits<uint32_t>::max()));
    } else if (key == "fail-nth") {
        applyRequestCount(faults.failNth, key, value);
    } else if (key == "fail-read-at") {
        applyReadFault(faults, value);
    } else {
        throw SimError("unknown fault '" + key + "'");
    }
}

}  // namespace camsim

#include "control/CamControlDefaults.h"

#include <jansson.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "device/uvc/UVCControl.h"

namespace veltrion::desktop {

namespace {

constexpr long kMaxPresetButton = 9;
constexpr int kImagePresetCount = 7;

struct DefaultKey {
    const char* key;
    long type;  // video-processing property
};

// The order in which the defaults are applied.
constexpr DefaultKey kDefaultKeys[kImagePresetCount] = {
    {"Brightness", 0}, {"Contrast", 1},       {"Saturation", 3}, {"Sharpness", 4},
    {"White Bal", 7},  {"Backlight Comp", 8}, {"Gain", 9},
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hexadecimal digits with an optional "0x"; values beyond LONG_MAX stay at
// LONG_MAX (out of every range). Nothing for any other text.
std::optional<long> parseHexText(const char* text) {
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text += 2;
    if (*text == '\0') return std::nullopt;
    long value = 0;
    for (; *text; ++text) {
        const int digit = hexDigit(*text);
        if (digit < 0) return std::nullopt;
        value = value > (LONG_MAX - digit) / 16 ? LONG_MAX : value * 16 + digit;
    }
    return value;
}

// "auto" fails on a property without an automatic mode.
bool setProperty(Logger& log, UVCControl& control, long type, bool automatic, long value) {
    if (control.setCameraControlProperty(type, automatic, value)) return true;
    log.log(kLogError, "applyCamControl: failed to set property type %ld to %s\n", type,
            automatic ? "auto" : std::to_string(value).c_str());
    return false;
}

// One property's default: "auto", "default" or a hexadecimal value; a
// missing key leaves the property alone.
bool applyCamControl(Logger& log, UVCControl& control, json_t* defaults, const char* key, long type,
                     bool& valuePresent) {
    valuePresent = false;
    long current = 0, minimum = 0, maximum = 0, defaultValue = 0, step = 0;
    bool automatic = false;
    if (!control.getCameraControlProperty(type, current, automatic, minimum, maximum, defaultValue, step)) {
        log.log(kLogError, "applyCamControl: failed to get property type %ld\n", type);
        return false;
    }
    const char* text = json_string_value(json_object_get(defaults, key));
    if (!text) return true;
    if (std::strcmp(text, "auto") == 0) {
        valuePresent = true;
        return setProperty(log, control, type, true, current);
    }
    if (std::strcmp(text, "default") == 0) {
        valuePresent = true;
        return setProperty(log, control, type, false, defaultValue);
    }
    const std::optional<long> value = parseHexText(text);
    if (!value) {
        // Not a value the camera could take: the key counts as absent.
        log.log(kLogError, "applyCamControl: property type %ld value \"%s\" is not auto, default or hexadecimal\n",
                type, text);
        return true;
    }
    valuePresent = true;
    if (*value < minimum || *value > maximum) {
        log.log(kLogError, "applyCamControl: property type %ld value %ld out of range [%ld, %ld]\n", type, *value,
                minimum, maximum);
        return false;
    }
    return setProperty(log, control, type, false, *value);
}

}  // namespace

bool programDefaultCamControls(CamMgrModel& model, const CameraRef& camera) {
    Logger& log = model.logger();
    if (camera.serial.empty()) {
        log.log(kLogError, "programDefaultCamControls: invalid serial number\n");
        return false;
    }
    const std::shared_ptr<const FeatureDocument> document = model.getFeatureJson(camera);
    if (!document || !document->filterControl) return true;
    json_t* defaults = document->filterControl;

    const char* buttonText = json_string_value(json_object_get(defaults, "Btn"));
    std::optional<long> button;
    if (buttonText) {
        button = parseHexText(buttonText);
        if (!button)
            log.log(kLogError, "programDefaultCamControls: btn \"%s\" is not a hexadecimal number\n", buttonText);
    }
    if (!button) {
        log.log(kLogError, "programDefaultCamControls: no btn found\n");
        return false;
    }
    if (*button > kMaxPresetButton) {
        log.log(kLogError, "programDefaultCamControls: invalid btn num %d\n",
                static_cast<int>(std::min<long>(*button, INT_MAX)));
        return false;
    }

    UVCControl control(0, camera.serial);
    control.getSource();
    bool allApplied = true;
    bool anyPresent = false;
    for (const DefaultKey& entry : kDefaultKeys) {
        bool present = false;
        if (!applyCamControl(log, control, defaults, entry.key, entry.type, present)) allApplied = false;
        anyPresent = anyPresent || present;
    }
    if (anyPresent && !model.saveFilterControlPreset(camera, static_cast<int>(*button))) return false;
    return allApplied;
}

}  // namespace veltrion::desktop

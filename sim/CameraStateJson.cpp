#include "CameraStateJson.h"

#include <jansson.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "SelfTestJson.h"
#include "SensorTemperature.h"
#include "SimError.h"

namespace camsim {

namespace {

struct JsonRelease {
    void operator()(json_t* value) const { json_decref(value); }
};
using JsonPtr = std::unique_ptr<json_t, JsonRelease>;

struct TextRelease {
    void operator()(char* text) const { std::free(text); }
};

// Object keys, one place for both directions.
namespace key {
constexpr const char* kRevision = "revision";
constexpr const char* kIdentity = "identity";
constexpr const char* kVendorId = "vid";
constexpr const char* kProductId = "pid";
constexpr const char* kSerial = "serial";
constexpr const char* kFriendlyName = "friendly-name";
constexpr const char* kModel = "model";
constexpr const char* kSerialHidden = "serial-hidden";
constexpr const char* kSerialAnswer = "serial-answer";
constexpr const char* kFailNth = "fail-nth";
constexpr const char* kFailReadAt = "fail-read-at";
constexpr const char* kFailReadAfter = "fail-read-after";
constexpr const char* kLastPreset = "last-preset";
constexpr const char* kVideo = "video";
constexpr const char* kReady = "ready";
constexpr const char* kSwitchesPresent = "switches-present";
constexpr const char* kFraming = "framing";
constexpr const char* kEnhancement = "enhancement";
constexpr const char* kControls = "controls";
constexpr const char* kXuStall = "xu-stall-ms";
constexpr const char* kXuVanishAfter = "xu-vanish-after";
constexpr const char* kXuCalls = "xu-calls";
constexpr const char* kChecksumTime = "checksum-us";
constexpr const char* kControlWrites = "control-writes";
constexpr const char* kState = "state";
constexpr const char* kUsbType = "usb-type";
constexpr const char* kExternalPower = "ext-power";
constexpr const char* kStreaming = "streaming";
constexpr const char* kSystemLoaded = "system-loaded";
constexpr const char* kSpiMode = "spi-mode";
constexpr const char* kLed = "led";
constexpr const char* kSensorTemp = "sensor-temp-c";
constexpr const char* kRunning = "running";
constexpr const char* kMode = "mode";
constexpr const char* kFx3Source = "fx3-source";
constexpr const char* kFx3 = "fx3";
constexpr const char* kFpga = "fpga";
constexpr const char* kIsp = "isp";
constexpr const char* kAudio = "audio";
constexpr const char* kValid = "valid";
constexpr const char* kVersion = "version";
constexpr const char* kTiming = "timing";
constexpr const char* kPreset = "preset";
constexpr const char* kTransferLatency = "transfer-latency-us";
constexpr const char* kPageProgram = "page-program-us";
constexpr const char* kErase4k = "erase-4k-us";
constexpr const char* kErase32k = "erase-32k-us";
constexpr const char* kErase64k = "erase-64k-us";
constexpr const char* kReenumeration = "reenumeration-ms";
constexpr const char* kChecksumPrefix = "checksum-us-";
constexpr const char* kFaults = "faults";
constexpr const char* kRefuseDf = "refuse-df";
constexpr const char* kRefuseC1 = "refuse-c1";
constexpr const char* kRefuseChecksum = "refuse-checksum";
constexpr const char* kChecksumInconsistent = "checksum-inconsistent";
constexpr const char* kBusyStuck = "busy-stuck";
constexpr const char* kRamReadbackCorrupt = "ram-readback-corrupt";
constexpr const char* kPowerLossAfterPages = "power-loss-after-pages";
constexpr const char* kPowerLossDuringErase = "power-loss-during-erase";
constexpr const char* kFailNext = "fail-next";
constexpr const char* kShortReply = "short-reply";
constexpr const char* kCounters = "counters";
constexpr const char* kResets = "resets";
constexpr const char* kPowerCycles = "power-cycles";
constexpr const char* kPagesProgrammed = "pages-programmed";
constexpr const char* kSectorsErased4k = "sectors-erased-4k";
constexpr const char* kSectorsErased32k = "sectors-erased-32k";
constexpr const char* kSectorsErased64k = "sectors-erased-64k";
constexpr const char* kStatusPolls = "status-polls";
constexpr const char* kTransfers = "transfers";
constexpr const char* kBus = "bus";
constexpr const char* kAbsentUntil = "absent-until-ms";
constexpr const char* kPowerLost = "power-lost";
constexpr const char* kPresets = "presets";
constexpr const char* kFace = "face";
constexpr const char* kSensitivity = "fd-sen";
constexpr const char* kFaceBox = "face-box";
constexpr const char* kRoiSupport = "roi-support";
constexpr const char* kRoi = "roi";
constexpr const char* kRoiNext = "roi-next";
constexpr const char* kIspSelectReply = "isp-select-reply";
constexpr const char* kIspFaces[] = {"isp0-faces", "isp1-faces", "isp2-faces"};
constexpr const char* kFaceReady = "face-ready";
constexpr const char* kFaceInconsistent = "face-inconsistent";
}  // namespace key

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

// --- writing ---

void setInt(json_t* object, const char* name, int64_t value) {
    json_object_set_new(object, name, json_integer(static_cast<json_int_t>(value)));
}
void setBool(json_t* object, const char* name, bool value) { json_object_set_new(object, name, json_boolean(value)); }
void setText(json_t* object, const char* name, const std::string& value) {
    json_object_set_new(object, name, json_string(value.c_str()));
}
json_t* addObject(json_t* parent, const char* name) {
    json_t* child = json_object();
    json_object_set_new(parent, name, child);
    return child;
}

const char* systemLoadedText(SystemLoadedOverride value) {
    switch (value) {
        case SystemLoadedOverride::Off: return "0";
        case SystemLoadedOverride::On: return "1";
        case SystemLoadedOverride::Auto: break;
    }
    return "auto";
}

const char* fx3SourceText(Fx3Source source) {
    switch (source) {
        case Fx3Source::Main: return "main";
        case Fx3Source::Backup: return "backup";
        case Fx3Source::Ram: return "ram";
        case Fx3Source::None: break;
    }
    return "none";
}

void writeComponent(json_t* parent, const char* name, const ComponentState& component) {
    json_t* object = addObject(parent, name);
    setBool(object, key::kValid, component.valid);
    setText(object, key::kVersion, component.version);
}

// --- reading ---

class Reader {
public:
    explicit Reader(json_t* object) : object_(object) {}

    Reader child(const char* name) const {
        json_t* value = object_ ? json_object_get(object_, name) : nullptr;
        return Reader(json_is_object(value) ? value : nullptr);
    }
    int64_t integer(const char* name, int64_t fallback) const {
        json_t* value = get(name);
        return json_is_integer(value) ? json_integer_value(value) : fallback;
    }
    bool boolean(const char* name, bool fallback) const {
        json_t* value = get(name);
        return json_is_boolean(value) ? json_is_true(value) : fallback;
    }
    std::string text(const char* name, const std::string& fallback) const {
        json_t* value = get(name);
        return json_is_string(value) ? json_string_value(value) : fallback;
    }
    json_t* raw() const { return object_; }

private:
    json_t* get(const char* name) const { return object_ ? json_object_get(object_, name) : nullptr; }
    json_t* object_;
};

uint16_t hexId(const Reader& reader, const char* name) {
    const std::string text = reader.text(name, "");
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 16);
    if (text.empty() || *end != '\0' || value > 0xFFFF) throw SimError("camera.json: bad " + std::string(name));
    return static_cast<uint16_t>(value);
}

uint32_t nonNegative(const Reader& reader, const char* name) {
    const int64_t value = reader.integer(name, 0);
    return value < 0 ? 0 : static_cast<uint32_t>(std::min<int64_t>(value, UINT32_MAX));
}

// A "fault per request code" object: hex request code -> count above 0.
std::map<uint8_t, uint32_t> requestCounts(const Reader& reader, const char* name) {
    std::map<uint8_t, uint32_t> counts;
    const Reader object = reader.child(name);
    if (!object.raw()) return counts;
    const char* code = nullptr;
    json_t* value = nullptr;
    json_object_foreach(object.raw(), code, value) {
        char* end = nullptr;
        const unsigned long request = std::strtoul(code, &end, 16);
        if (*end == '\0' && request <= 0xFF && json_is_integer(value) && json_integer_value(value) > 0)
            counts[static_cast<uint8_t>(request)] =
                static_cast<uint32_t>(std::min<json_int_t>(json_integer_value(value), UINT32_MAX));
    }
    return counts;
}

uint64_t counter(const Reader& reader, const char* name) {
    const int64_t value = reader.integer(name, 0);
    return value < 0 ? 0 : static_cast<uint64_t>(value);
}

ComponentState readComponent(const Reader& parent, const char* name) {
    const Reader object = parent.child(name);
    return {object.boolean(key::kValid, false), object.text(key::kVersion, "")};
}

// Preset buttons as "ptz-N" and "control-N" objects of control values; empty
// buttons are left out.
const char* const kPresetTypeNames[kPresetTypes] = {"ptz", "control"};

void writePresets(json_t* root, const PresetBank& presets) {
    json_t* object = addObject(root, key::kPresets);
    for (size_t type = 0; type < kPresetTypes; ++type)
        for (size_t button = 0; button < kPresetButtons; ++button) {
            if (presets[type][button].empty()) continue;
            const std::string name = std::string(kPresetTypeNames[type]) + "-" + std::to_string(button);
            json_t* values = addObject(object, name.c_str());
            for (const auto& [control, value] : presets[type][button]) setInt(values, control.c_str(), value);
        }
}

PresetBank readPresets(const Reader& top) {
    PresetBank presets;
    const Reader object = top.child(key::kPresets);
    for (size_t type = 0; type < kPresetTypes; ++type)
        for (size_t button = 0; button < kPresetButtons; ++button) {
            const std::string name = std::string(kPresetTypeNames[type]) + "-" + std::to_string(button);
            const Reader values = object.child(name.c_str());
            if (!values.raw()) continue;
            const char* control = nullptr;
            json_t* value = nullptr;
            json_object_foreach(values.raw(), control, value) {
                if (json_is_integer(value))
                    presets[type][button][control] =
                        static_cast<int32_t>(std::clamp<json_int_t>(json_integer_value(value), INT32_MIN, INT32_MAX));
            }
        }
    return presets;
}

void writeFace(json_t* root, const FaceState& face) {
    json_t* object = addObject(root, key::kFace);
    setInt(object, key::kSensitivity, face.sensitivity);
    setBool(object, key::kFaceBox, face.faceBox);
    setText(object, key::kRoiSupport,
            face.roiSupport == RoiSupport::Auto ? "auto" : face.roiSupport == RoiSupport::Yes ? "1" : "0");
    setText(object, key::kRoi, formatRoiScript(face.roi));
    setInt(object, key::kRoiNext, face.roiNext);
    setInt(object, key::kIspSelectReply, face.ispSelectReply);
    for (size_t isp = 0; isp < face::kIspCount; ++isp)
        setText(object, key::kIspFaces[isp], formatFaceSlots(face.faces[isp]));
    setText(object, key::kFaceReady, formatReadyPolls(face.readyAfter));
    setText(object, key::kFaceInconsistent, formatIspFlags(face.inconsistent));
}

// A field that does not read back keeps its default.
FaceState readFace(const Reader& top) {
    FaceState face;
    const Reader object = top.child(key::kFace);
    face.sensitivity = static_cast<uint16_t>(
        std::clamp<int64_t>(object.integer(key::kSensitivity, face.sensitivity), 0, face::kMaxSensitivity));
    face.faceBox = object.boolean(key::kFaceBox, false);
    const std::string support = object.text(key::kRoiSupport, "auto");
    face.roiSupport = support == "1" ? RoiSupport::Yes : support == "0" ? RoiSupport::No : RoiSupport::Auto;
    if (const auto steps = parseRoiScript(object.text(key::kRoi, ""))) face.roi = *steps;
    face.roiNext = nonNegative(object, key::kRoiNext);
    face.ispSelectReply =
        static_cast<uint8_t>(std::clamp<int64_t>(object.integer(key::kIspSelectReply, 1), 0, UINT8_MAX));
    for (size_t isp = 0; isp < face::kIspCount; ++isp)
        if (const auto slots = parseFaceSlots(object.text(key::kIspFaces[isp], ""))) face.faces[isp] = *slots;
    if (const auto polls = parseReadyPolls(object.text(key::kFaceReady, "0"))) face.readyAfter = *polls;
    if (const auto flags = parseIspFlags(object.text(key::kFaceInconsistent, "0"))) face.inconsistent = *flags;
    return face;
}

}  // namespace

std::string cameraStateToJson(const CameraState& state) {
    JsonPtr root(json_object());
    setInt(root.get(), key::kRevision, static_cast<int64_t>(state.revision));

    json_t* identity = addObject(root.get(), key::kIdentity);
    setText(identity, key::kVendorId, hex(state.identity.vendorId, 4));
    setText(identity, key::kProductId, hex(state.identity.productId, 4));
    setText(identity, key::kSerial, state.identity.serial);
    setText(identity, key::kFriendlyName, state.identity.friendlyName);
    setText(identity, key::kModel, state.identity.model);
    setBool(identity, key::kSerialHidden, state.identity.serialHidden);
    if (state.identity.serialAnswer) setText(identity, key::kSerialAnswer, *state.identity.serialAnswer);

    json_t* run = addObject(root.get(), key::kState);
    setInt(run, key::kUsbType, state.run.usbType);
    setInt(run, key::kExternalPower, state.run.externalPower);
    setBool(run, key::kStreaming, state.run.streaming);
    setText(run, key::kSystemLoaded, systemLoadedText(state.run.systemLoaded));
    setBool(run, key::kSpiMode, state.run.spiMode);
    setBool(run, key::kLed, state.run.led);
    setText(run, key::kSensorTemp, formatSensorTemperatures(state.run.sensorTempC));
    setInt(run, key::kLastPreset, state.run.lastPreset);

    json_t* video = addObject(root.get(), key::kVideo);
    setBool(video, key::kReady, state.video.ready);
    setBool(video, key::kSwitchesPresent, state.video.switchesPresent);
    setBool(video, key::kFraming, state.video.framing);
    setBool(video, key::kEnhancement, state.video.enhancement);
    json_t* controls = addObject(video, key::kControls);
    for (const auto& [name, value] : state.video.controls) setInt(controls, name.c_str(), value);

    json_t* running = addObject(root.get(), key::kRunning);
    setText(running, key::kMode, state.running.mode == RunMode::Camera ? "camera" : "boot-loader");
    setText(running, key::kFx3Source, fx3SourceText(state.running.fx3Source));
    writeComponent(running, key::kFx3, state.running.fx3);
    writeComponent(running, key::kFpga, state.running.fpga);
    writeComponent(running, key::kIsp, state.running.isp);
    writeComponent(running, key::kAudio, state.running.audio);

    json_t* timing = addObject(root.get(), key::kTiming);
    setText(timing, key::kPreset, state.timing.preset);
    setInt(timing, key::kTransferLatency, state.timing.transferLatencyUs);
    setInt(timing, key::kPageProgram, state.timing.pageProgramUs);
    setInt(timing, key::kErase4k, state.timing.erase4kUs);
    setInt(timing, key::kErase32k, state.timing.erase32kUs);
    setInt(timing, key::kErase64k, state.timing.erase64kUs);
    setInt(timing, key::kReenumeration, state.timing.reenumerationMs);
    for (size_t type = 0; type < state.timing.checksumUs.size(); ++type)
        setInt(timing, (key::kChecksumPrefix + std::to_string(type)).c_str(), state.timing.checksumUs[type]);

    json_t* faults = addObject(root.get(), key::kFaults);
    setBool(faults, key::kRefuseDf, state.faults.refuseSystemLoaded);
    setBool(faults, key::kRefuseC1, state.faults.refuseSyncStatus);
    setBool(faults, key::kRefuseChecksum, state.faults.refuseChecksum);
    setBool(faults, key::kChecksumInconsistent, state.faults.checksumInconsistent);
    setBool(faults, key::kBusyStuck, state.faults.busyStuck);
    setBool(faults, key::kRamReadbackCorrupt, state.faults.ramReadbackCorrupt);
    setInt(faults, key::kPowerLossAfterPages, state.faults.powerLossAfterPages);
    setInt(faults, key::kPowerLossDuringErase, state.faults.powerLossDuringErase);
    setInt(faults, key::kXuStall, state.faults.xuStallMs);
    setInt(faults, key::kXuVanishAfter, state.faults.xuVanishAfter);
    json_t* failNext = addObject(faults, key::kFailNext);
    for (const auto& [request, count] : state.faults.failNext) setInt(failNext, hex(request, 2).c_str(), count);
    json_t* shortReply = addObject(faults, key::kShortReply);
    for (const auto& [request, count] : state.faults.shortReply) setInt(shortReply, hex(request, 2).c_str(), count);
    json_t* failNth = addObject(faults, key::kFailNth);
    for (const auto& [request, count] : state.faults.failNth) setInt(failNth, hex(request, 2).c_str(), count);
    setInt(faults, key::kFailReadAt, state.faults.failReadAt);
    setInt(faults, key::kFailReadAfter, state.faults.failReadAfter);

    json_t* counters = addObject(root.get(), key::kCounters);
    setInt(counters, key::kResets, static_cast<int64_t>(state.counters.resets));
    setInt(counters, key::kPowerCycles, static_cast<int64_t>(state.counters.powerCycles));
    setInt(counters, key::kPagesProgrammed, static_cast<int64_t>(state.counters.pagesProgrammed));
    setInt(counters, key::kSectorsErased4k, static_cast<int64_t>(state.counters.sectorsErased4k));
    setInt(counters, key::kSectorsErased32k, static_cast<int64_t>(state.counters.sectorsErased32k));
    setInt(counters, key::kSectorsErased64k, static_cast<int64_t>(state.counters.sectorsErased64k));
    setInt(counters, key::kStatusPolls, static_cast<int64_t>(state.counters.statusPolls));
    setInt(counters, key::kXuCalls, static_cast<int64_t>(state.counters.xuCalls));
    setInt(counters, key::kControlWrites, static_cast<int64_t>(state.counters.controlWrites));
    setInt(counters, key::kChecksumTime, static_cast<int64_t>(state.counters.checksumUs));
    json_t* transfers = addObject(counters, key::kTransfers);
    for (size_t request = 0; request < state.counters.transfers.size(); ++request)
        if (state.counters.transfers[request] != 0)
            setInt(transfers, hex(static_cast<unsigned>(request), 2).c_str(),
                   static_cast<int64_t>(state.counters.transfers[request]));

    json_t* bus = addObject(root.get(), key::kBus);
    setInt(bus, key::kAbsentUntil, state.bus.absentUntilMs);
    setBool(bus, key::kPowerLost, state.bus.powerLost);

    writePresets(root.get(), state.presets);
    writeFace(root.get(), state.face);
    writeSelfTestJson(root.get(), state.selfTest);

    std::unique_ptr<char, TextRelease> text(json_dumps(root.get(), JSON_INDENT(2) | JSON_SORT_KEYS));
    if (!text) throw SimError("camera.json: cannot encode the camera state");
    return std::string(text.get()) + "\n";
}

CameraState cameraStateFromJson(const std::string& text) {
    json_error_t error;
    JsonPtr root(json_loadb(text.data(), text.size(), 0, &error));
    if (!root || !json_is_object(root.get()))
        throw SimError(std::string("camera.json: ") + (root ? "not an object" : error.text));
    const Reader top(root.get());
    CameraState state;
    state.revision = counter(top, key::kRevision);

    const Reader identity = top.child(key::kIdentity);
    state.identity.vendorId = hexId(identity, key::kVendorId);
    state.identity.productId = hexId(identity, key::kProductId);
    state.identity.serial = identity.text(key::kSerial, "");
    state.identity.friendlyName = identity.text(key::kFriendlyName, "");
    state.identity.model = identity.text(key::kModel, "");
    state.identity.serialHidden = identity.boolean(key::kSerialHidden, false);
    if (json_is_string(json_object_get(identity.raw(), key::kSerialAnswer)))
        state.identity.serialAnswer = identity.text(key::kSerialAnswer, "");

    const Reader run = top.child(key::kState);
    state.run.usbType = static_cast<int>(run.integer(key::kUsbType, state.run.usbType));
    state.run.externalPower = static_cast<int>(run.integer(key::kExternalPower, state.run.externalPower));
    state.run.streaming = run.boolean(key::kStreaming, false);
    const std::string loaded = run.text(key::kSystemLoaded, "auto");
    state.run.systemLoaded = loaded == "0"   ? SystemLoadedOverride::Off
                             : loaded == "1" ? SystemLoadedOverride::On
                                             : SystemLoadedOverride::Auto;
    state.run.spiMode = run.boolean(key::kSpiMode, false);
    state.run.led = run.boolean(key::kLed, false);
    if (const auto temperatures = parseSensorTemperatures(run.text(key::kSensorTemp, "")))
        state.run.sensorTempC = *temperatures;
    state.run.lastPreset = static_cast<int32_t>(std::clamp<int64_t>(run.integer(key::kLastPreset, -1), -1, UINT16_MAX));

    const Reader video = top.child(key::kVideo);
    state.video.ready = video.boolean(key::kReady, true);
    state.video.switchesPresent = video.boolean(key::kSwitchesPresent, true);
    state.video.framing = video.boolean(key::kFraming, false);
    state.video.enhancement = video.boolean(key::kEnhancement, false);
    if (const Reader controls = video.child(key::kControls); controls.raw()) {
        const char* name = nullptr;
        json_t* value = nullptr;
        json_object_foreach(controls.raw(), name, value) {
            if (json_is_integer(value))
                state.video.controls[name] = static_cast<int32_t>(
                    std::clamp<json_int_t>(json_integer_value(value), INT32_MIN, INT32_MAX));
        }
    }

    const Reader running = top.child(key::kRunning);
    state.running.mode = running.text(key::kMode, "") == "camera" ? RunMode::Camera : RunMode::BootLoader;
    const std::string source = running.text(key::kFx3Source, "none");
    state.running.fx3Source = source == "main"     ? Fx3Source::Main
                              : source == "backup" ? Fx3Source::Backup
                              : source == "ram"    ? Fx3Source::Ram
                                                   : Fx3Source::None;
    state.running.fx3 = readComponent(running, key::kFx3);
    state.running.fpga = readComponent(running, key::kFpga);
    state.running.isp = readComponent(running, key::kIsp);
    state.running.audio = readComponent(running, key::kAudio);

    const Reader timing = top.child(key::kTiming);
    state.timing.preset = timing.text(key::kPreset, "zero");
    state.timing.transferLatencyUs = nonNegative(timing, key::kTransferLatency);
    state.timing.pageProgramUs = nonNegative(timing, key::kPageProgram);
    state.timing.erase4kUs = nonNegative(timing, key::kErase4k);
    state.timing.erase32kUs = nonNegative(timing, key::kErase32k);
    state.timing.erase64kUs = nonNegative(timing, key::kErase64k);
    state.timing.reenumerationMs = nonNegative(timing, key::kReenumeration);
    for (size_t type = 0; type < state.timing.checksumUs.size(); ++type)
        state.timing.checksumUs[type] = nonNegative(timing, (key::kChecksumPrefix + std::to_string(type)).c_str());

    const Reader faults = top.child(key::kFaults);
    state.faults.refuseSystemLoaded = faults.boolean(key::kRefuseDf, false);
    state.faults.refuseSyncStatus = faults.boolean(key::kRefuseC1, false);
    state.faults.refuseChecksum = faults.boolean(key::kRefuseChecksum, false);
    state.faults.checksumInconsistent = faults.boolean(key::kChecksumInconsistent, false);
    state.faults.busyStuck = faults.boolean(key::kBusyStuck, false);
    state.faults.ramReadbackCorrupt = faults.boolean(key::kRamReadbackCorrupt, false);
    state.faults.powerLossAfterPages = nonNegative(faults, key::kPowerLossAfterPages);
    state.faults.powerLossDuringErase = nonNegative(faults, key::kPowerLossDuringErase);
    state.faults.xuStallMs = nonNegative(faults, key::kXuStall);
    state.faults.xuVanishAfter = nonNegative(faults, key::kXuVanishAfter);
    state.faults.failNext = requestCounts(faults, key::kFailNext);
    state.faults.shortReply = requestCounts(faults, key::kShortReply);
    state.faults.failNth = requestCounts(faults, key::kFailNth);
    state.faults.failReadAt = std::clamp<int64_t>(faults.integer(key::kFailReadAt, -1), -1, UINT32_MAX);
    state.faults.failReadAfter = nonNegative(faults, key::kFailReadAfter);

    const Reader counters = top.child(key::kCounters);
    state.counters.resets = counter(counters, key::kResets);
    state.counters.powerCycles = counter(counters, key::kPowerCycles);
    state.counters.pagesProgrammed = counter(counters, key::kPagesProgrammed);
    state.counters.sectorsErased4k = counter(counters, key::kSectorsErased4k);
    state.counters.sectorsErased32k = counter(counters, key::kSectorsErased32k);
    state.counters.sectorsErased64k = counter(counters, key::kSectorsErased64k);
    state.counters.statusPolls = counter(counters, key::kStatusPolls);
    state.counters.xuCalls = counter(counters, key::kXuCalls);
    state.counters.controlWrites = counter(counters, key::kControlWrites);
    state.counters.checksumUs = counter(counters, key::kChecksumTime);
    const Reader transfers = counters.child(key::kTransfers);
    if (transfers.raw()) {
        const char* name = nullptr;
        json_t* value = nullptr;
        json_object_foreach(transfers.raw(), name, value) {
            char* end = nullptr;
            const unsigned long request = std::strtoul(name, &end, 16);
            if (*end == '\0' && request <= 0xFF && json_is_integer(value) && json_integer_value(value) > 0)
                state.counters.transfers[request] = static_cast<uint64_t>(json_integer_value(value));
        }
    }

    const Reader bus = top.child(key::kBus);
    state.bus.absentUntilMs = bus.integer(key::kAbsentUntil, 0);
    state.bus.powerLost = bus.boolean(key::kPowerLost, false);

    state.presets = readPresets(top);
    state.face = readFace(top);
    state.selfTest = readSelfTestJson(top.raw());
    return state;
}

}  // namespace camsim

#include "FaceState.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "SimError.h"
#include "base/ByteLayout.h"

namespace camsim {

namespace {

// Offsets of the four arrays in a face block.
constexpr std::array<size_t, 4> kArrayAt = {5, 37, 69, 101};
constexpr uint8_t kEmptyByte = 0xFF;
constexpr uint8_t kInconsistent = 0x00;
constexpr const char* kNone = "none";
constexpr const char* kStall = "stall";
constexpr const char* kNever = "never";
constexpr const char* kEmptySlot = "-";
constexpr int32_t kMaxReadyPolls = 1000;

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// Decimal digits only, up to max.
std::optional<uint32_t> decimal(const std::string& text, uint32_t max) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (errno != 0 || value > max) return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::optional<uint16_t> coordinate(const std::string& text) {
    const auto value = decimal(text, UINT16_MAX);
    if (!value) return std::nullopt;
    return static_cast<uint16_t>(*value);
}

// One value for all three ISPs, or three.
template <typename T, typename Parse>
std::optional<std::array<T, face::kIspCount>> perIsp(const std::string& text, Parse parse) {
    const auto parts = split(text, ',');
    if (parts.size() != 1 && parts.size() != face::kIspCount) return std::nullopt;
    std::array<T, face::kIspCount> values{};
    for (size_t isp = 0; isp < face::kIspCount; ++isp) {
        const std::optional<T> value = parse(parts[parts.size() == 1 ? 0 : isp]);
        if (!value) return std::nullopt;
        values[isp] = *value;
    }
    return values;
}

template <typename T, typename Format>
std::string joinPerIsp(const std::array<T, face::kIspCount>& values, Format format) {
    std::string text;
    for (size_t isp = 0; isp < face::kIspCount; ++isp) text += (isp ? "," : "") + format(values[isp]);
    return text;
}

[[noreturn]] void badValue(const std::string& key, const std::string& value, const std::string& expected) {
    throw SimError("bad value '" + value + "' for " + key + " (expected " + expected + ")");
}

constexpr const char* kIspFacesKeys[face::kIspCount] = {"isp0-faces", "isp1-faces", "isp2-faces"};

}  // namespace

std::optional<std::vector<RoiStep>> parseRoiScript(const std::string& text) {
    std::vector<RoiStep> steps;
    if (text.empty()) return steps;
    for (const std::string& part : split(text, ',')) {
        RoiStep step;
        if (part == kNone) {
            step.kind = RoiStep::Kind::None;
        } else if (part == kStall) {
            step.kind = RoiStep::Kind::Stall;
        } else {
            const auto bounds = split(part, '-');
            const auto start = bounds.size() == 2 ? coordinate(bounds[0]) : std::nullopt;
            const auto end = bounds.size() == 2 ? coordinate(bounds[1]) : std::nullopt;
            if (!start || !end) return std::nullopt;
            step = {RoiStep::Kind::Present, *start, *end};
        }
        steps.push_back(step);
    }
    return steps;
}

std::string formatRoiScript(const std::vector<RoiStep>& steps) {
    std::string text;
    for (const RoiStep& step : steps) {
        if (!text.empty()) text += ',';
        switch (step.kind) {
            case RoiStep::Kind::None: text += kNone; break;
            case RoiStep::Kind::Stall: text += kStall; break;
            case RoiStep::Kind::Present:
                text += std::to_string(step.startX) + "-" + std::to_string(step.endX);
                break;
        }
    }
    return text;
}

std::optional<std::vector<FaceSlot>> parseFaceSlots(const std::string& text) {
    std::vector<FaceSlot> slots;
    if (text.empty() || text == kNone) return slots;
    const auto parts = split(text, ';');
    if (parts.size() > face::kSlots) return std::nullopt;
    for (const std::string& part : parts) {
        if (part == kEmptySlot) {
            slots.push_back(FaceSlot{});
            continue;
        }
        const auto fields = split(part, ',');
        if (fields.size() != 4) return std::nullopt;
        std::array<uint16_t, 4> box{};
        for (size_t i = 0; i < box.size(); ++i) {
            const auto value = coordinate(fields[i]);
            if (!value) return std::nullopt;
            box[i] = *value;
        }
        slots.push_back({false, box[0], box[1], box[2], box[3]});
    }
    return slots;
}

std::string formatFaceSlots(const std::vector<FaceSlot>& slots) {
    if (slots.empty()) return kNone;
    std::string text;
    for (const FaceSlot& slot : slots) {
        if (!text.empty()) text += ';';
        if (slot.empty) {
            text += kEmptySlot;
            continue;
        }
        text += std::to_string(slot.left) + "," + std::to_string(slot.top) + "," + std::to_string(slot.right) +
                "," + std::to_string(slot.bottom);
    }
    return text;
}

std::optional<std::array<int32_t, face::kIspCount>> parseReadyPolls(const std::string& text) {
    return perIsp<int32_t>(text, [](const std::string& part) -> std::optional<int32_t> {
        if (part == kNever) return face::kNeverReady;
        const auto polls = decimal(part, kMaxReadyPolls);
        if (!polls) return std::nullopt;
        return static_cast<int32_t>(*polls);
    });
}

std::string formatReadyPolls(const std::array<int32_t, face::kIspCount>& polls) {
    return joinPerIsp(polls, [](int32_t p) { return p == face::kNeverReady ? std::string(kNever) : std::to_string(p); });
}

std::optional<std::array<bool, face::kIspCount>> parseIspFlags(const std::string& text) {
    return perIsp<bool>(text, [](const std::string& part) -> std::optional<bool> {
        if (part == "0") return false;
        if (part == "1") return true;
        return std::nullopt;
    });
}

std::string formatIspFlags(const std::array<bool, face::kIspCount>& flags) {
    return joinPerIsp(flags, [](bool on) { return std::string(on ? "1" : "0"); });
}

std::vector<uint8_t> faceBlock(const std::vector<FaceSlot>& slots, bool consistent) {
    std::vector<uint8_t> block;
    veltrion::ByteWriter writer(block);
    writer.u8(consistent ? face::kPresent : kInconsistent);
    writer.fill(0, kArrayAt[0] - 1);
    writer.fill(kEmptyByte, face::kBlockLength - kArrayAt[0]);
    for (size_t slot = 0; slot < std::min(slots.size(), face::kSlots); ++slot) {
        if (slots[slot].empty) continue;
        const std::array<uint16_t, 4> box = {slots[slot].left, slots[slot].top, slots[slot].right,
                                             slots[slot].bottom};
        for (size_t array = 0; array < box.size(); ++array) writer.patchLe16(kArrayAt[array] + 2 * slot, box[array]);
    }
    return block;
}

std::vector<std::string> faceSettingKeys() {
    return {"fd-sen",         "face-box",        kIspFacesKeys[0], kIspFacesKeys[1], kIspFacesKeys[2],
            "face-ready",     "face-inconsistent", "isp-select-reply", "roi-support", "roi"};
}

bool isFaceSetting(const std::string& key) {
    const auto keys = faceSettingKeys();
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

void applyFaceSetting(FaceState& state, const std::string& key, const std::string& value) {
    if (key == "fd-sen") {
        std::string digits = value;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.erase(0, 2);
        char* end = nullptr;
        errno = 0;
        const unsigned long parsed = std::strtoul(digits.c_str(), &end, 16);
        if (digits.empty() || !std::isxdigit(static_cast<unsigned char>(digits[0])) || *end != '\0' || errno != 0 ||
            parsed > face::kMaxSensitivity)
            badValue(key, value, "hex 0..0x944");
        state.sensitivity = static_cast<uint16_t>(parsed);
    } else if (key == "face-box") {
        if (value != "0" && value != "1") badValue(key, value, "0 or 1");
        state.faceBox = value == "1";
    } else if (key == "face-ready") {
        const auto polls = parseReadyPolls(value);
        if (!polls) badValue(key, value, "N or N0,N1,N2, each 0..1000 or never");
        state.readyAfter = *polls;
    } else if (key == "face-inconsistent") {
        const auto flags = parseIspFlags(value);
        if (!flags) badValue(key, value, "0|1 or three of them, comma-separated");
        state.inconsistent = *flags;
    } else if (key == "isp-select-reply") {
        const auto reply = decimal(value, UINT8_MAX);
        if (!reply) badValue(key, value, "0..255");
        state.ispSelectReply = static_cast<uint8_t>(*reply);
    } else if (key == "roi-support") {
        if (value == "auto")
            state.roiSupport = RoiSupport::Auto;
        else if (value == "0" || value == "1")
            state.roiSupport = value == "1" ? RoiSupport::Yes : RoiSupport::No;
        else
            badValue(key, value, "auto, 0 or 1");
    } else if (key == "roi") {
        const auto steps = parseRoiScript(value);
        if (!steps) badValue(key, value, "steps none, START-END or stall, comma-separated");
        state.roi = *steps;
        state.roiNext = 0;
    } else {
        for (size_t isp = 0; isp < face::kIspCount; ++isp) {
            if (key != kIspFacesKeys[isp]) continue;
            const auto slots = parseFaceSlots(value);
            if (!slots) badValue(key, value, "up to 16 slots L,T,R,B or -, separated by ';', or none");
            state.faces[isp] = *slots;
            return;
        }
        throw SimError("unknown key '" + key + "'");
    }
}

}  // namespace camsim

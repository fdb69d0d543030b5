#pragma once

// What the camera's face detection and automatic framing hold: the
// sensitivity and face box the host sets, and the records its monitors read,
// scripted by settings. Every scripted part has a text form that both
// `veltrion-sim set` and camera.json use.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace camsim {

namespace face {

// Queries of request 0xFE (wIndex).
constexpr uint16_t kQuerySensitivity = 0x36;  // host-to-device, 2 bytes little-endian
constexpr uint16_t kQueryFaceBox = 0x39;      // wValue 0 or 1, 1-byte reply

// Request 0xFD: the mode or ISP is chosen at index 0x22, data read at 0x23.
constexpr uint16_t kIndexMode = 0x22;
constexpr uint16_t kIndexData = 0x23;
constexpr uint16_t kRoiModeValue = 3;  // wValue 0..2 select an ISP instead

constexpr uint16_t kMaxSensitivity = 0x944;
constexpr size_t kIspCount = 3;
constexpr size_t kSlots = 16;
constexpr uint16_t kReadyLength = 1;
constexpr uint16_t kRoiLength = 5;
constexpr uint16_t kBlockLength = 133;
constexpr uint8_t kPresent = 0xFF;  // ROI present, block consistent, data ready
constexpr int32_t kNeverReady = -1;

}  // namespace face

// One read of the ROI record: no ROI, an ROI from start X to end X, or a
// stalled request.
struct RoiStep {
    enum class Kind { None, Present, Stall };
    Kind kind = Kind::None;
    uint16_t startX = 0;
    uint16_t endX = 0;

    bool operator==(const RoiStep&) const = default;
};

// One slot of an ISP's face block; an empty slot reads as 0xFF bytes.
struct FaceSlot {
    bool empty = true;
    uint16_t left = 0;
    uint16_t top = 0;
    uint16_t right = 0;
    uint16_t bottom = 0;

    bool operator==(const FaceSlot&) const = default;
};

enum class RoiSupport { Auto, No, Yes };  // Auto: cameras of the V2s group

struct FaceState {
    uint16_t sensitivity = 0x04A2;  // half the range, as the camera ships
    bool faceBox = false;
    RoiSupport roiSupport = RoiSupport::Auto;
    // Each ROI read takes the next step; the last one repeats. None: no ROI.
    std::vector<RoiStep> roi;
    uint32_t roiNext = 0;
    uint8_t ispSelectReply = 1;  // anything but 1 refuses the selection
    // Per ISP, the slots from 0 on; the others are empty.
    std::array<std::vector<FaceSlot>, face::kIspCount> faces;
    // Per ISP, polls after its selection that answer "not ready" first, or
    // kNeverReady.
    std::array<int32_t, face::kIspCount> readyAfter{};
    // Per ISP, the block's byte 0 says inconsistent.
    std::array<bool, face::kIspCount> inconsistent{};

    bool operator==(const FaceState&) const = default;
};

// Comma-separated steps: "none", "START-END" or "stall"; "" for no ROI.
std::optional<std::vector<RoiStep>> parseRoiScript(const std::string& text);
std::string formatRoiScript(const std::vector<RoiStep>& steps);

// Up to 16 slots separated by ';': "LEFT,TOP,RIGHT,BOTTOM" or "-" for an
// empty slot; "" or "none" for no faces.
std::optional<std::vector<FaceSlot>> parseFaceSlots(const std::string& text);
std::string formatFaceSlots(const std::vector<FaceSlot>& slots);

// One value for every ISP or three comma-separated ones: a poll count or
// "never".
std::optional<std::array<int32_t, face::kIspCount>> parseReadyPolls(const std::string& text);
std::string formatReadyPolls(const std::array<int32_t, face::kIspCount>& polls);

// One 0|1 for every ISP or three comma-separated.
std::optional<std::array<bool, face::kIspCount>> parseIspFlags(const std::string& text);
std::string formatIspFlags(const std::array<bool, face::kIspCount>& flags);

// The 133-byte block an ISP answers: byte 0 the consistency flag, then the
// left, top, right and bottom arrays of 16 little-endian values at 5, 37, 69
// and 101.
std::vector<uint8_t> faceBlock(const std::vector<FaceSlot>& slots, bool consistent);

// The `set` keys of this state ("fd-sen", "roi", "isp0-faces", ...).
std::vector<std::string> faceSettingKeys();
bool isFaceSetting(const std::string& key);
// Throws SimError on a bad value.
void applyFaceSetting(FaceState& state, const std::string& key, const std::string& value);

}  // namespace camsim

#pragma once

// What the camera's built-in self-test reports: a revision and a status per
// unit (FPGA, FX3, ISP 0..2, FPGA DDR), and the information text of each ISP.
// Persisted in camera.json under "self-test"; changed with `veltrion-sim set`.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/SelfTestBlock.h"

namespace camsim {

// How the camera ends each 256-byte part of an ISP information text.
enum class IspInfoEnd {
    Zero,  // the text, then zero bytes: every part is terminated
    None,  // the text, then spaces up to the part's end: no zero byte at all
};

struct SelfTestState {
    std::array<uint16_t, veltrion::selftest::kEntryCount> revisions = {0x0110, 0x0100, 0x0201,
                                                                       0x0201, 0x0201, 0x0003};
    std::array<uint8_t, veltrion::selftest::kEntryCount> statuses{};  // all passed
    // Nothing: the text the ISP firmware makes up from its version.
    std::array<std::optional<std::string>, veltrion::selftest::kIspCount> ispInfo;
    IspInfoEnd ispInfoEnd = IspInfoEnd::Zero;

    bool operator==(const SelfTestState&) const = default;
};

// The longest information text an ISP holds: its two parts.
constexpr size_t kMaxIspInfoLength = 2 * veltrion::selftest::kIspInfoPartSize;

// The 18-byte self-test block.
std::vector<uint8_t> selfTestReply(const SelfTestState& state);

// The ISP's text as it answers its information request: the set text or the
// one made from the running ISP version.
std::string ispInfoText(const SelfTestState& state, size_t isp, const std::string& ispVersion);

// Part `part` (0 or 1) of an ISP's text as one 256-byte reply: with zero
// ends, parts hold 255 characters and a zero; without, 256 characters padded
// with spaces.
std::vector<uint8_t> ispInfoPart(const std::string& text, size_t part, IspInfoEnd end);

// `set` keys: selftest-status S0,..,S5 and selftest-rev R0,..,R5 (hex, in
// the order fpga, fx3, isp0, isp1, isp2, ddr; one value sets all six),
// isp-info-0..2 TEXT (default: the made-up text), isp-info-end zero|none.
// False when the key is not one of these; throws SimError on a bad value.
bool applySelfTestSetting(SelfTestState& state, const std::string& key, const std::string& value);
std::vector<std::string> selfTestSettingKeys();

}  // namespace camsim

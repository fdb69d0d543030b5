#include "SelfTestState.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "SimError.h"

namespace camsim {

namespace st = veltrion::selftest;

namespace {

constexpr const char* kStatusKey = "selftest-status";
constexpr const char* kRevisionKey = "selftest-rev";
constexpr const char* kIspInfoPrefix = "isp-info-";
constexpr const char* kIspInfoEndKey = "isp-info-end";
constexpr const char* kDefaultText = "default";
constexpr char kPadding = ' ';

// "a,b,c,d,e,f" or one value for all six, each hex up to max.
template <typename T>
std::array<T, st::kEntryCount> hexList(const std::string& key, const std::string& value, unsigned long max) {
    std::vector<unsigned long> numbers;
    size_t start = 0;
    while (true) {
        const size_t comma = value.find(',', start);
        std::string item = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.size() > 2 && item[0] == '0' && (item[1] == 'x' || item[1] == 'X')) item.erase(0, 2);
        errno = 0;
        char* end = nullptr;
        const unsigned long number = std::strtoul(item.c_str(), &end, 16);
        const bool digits = !item.empty() && std::all_of(item.begin(), item.end(), ::isxdigit);
        if (!digits || errno != 0 || *end != '\0' || number > max)
            throw SimError("bad value '" + value + "' for " + key + " (six hex values, or one for all)");
        numbers.push_back(number);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (numbers.size() != 1 && numbers.size() != st::kEntryCount)
        throw SimError("bad value '" + value + "' for " + key + " (six hex values, or one for all)");
    std::array<T, st::kEntryCount> out{};
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<T>(numbers.size() == 1 ? numbers[0] : numbers[i]);
    return out;
}

}  // namespace

std::vector<uint8_t> selfTestReply(const SelfTestState& state) {
    veltrion::SelfTestBlock block;
    for (size_t i = 0; i < block.size(); ++i) block[i] = {state.revisions[i], state.statuses[i]};
    return veltrion::encodeSelfTestBlock(block);
}

std::string ispInfoText(const SelfTestState& state, size_t isp, const std::string& ispVersion) {
    if (isp < state.ispInfo.size() && state.ispInfo[isp]) return *state.ispInfo[isp];
    return "ISP" + std::to_string(isp) + " firmware " + (ispVersion.empty() ? "none" : ispVersion) +
           ", sensor ready\r\n";
}

std::vector<uint8_t> ispInfoPart(const std::string& text, size_t part, IspInfoEnd end) {
    const size_t partSize = st::kIspInfoPartSize;
    const size_t characters = end == IspInfoEnd::Zero ? partSize - 1 : partSize;
    std::vector<uint8_t> out(partSize, end == IspInfoEnd::Zero ? 0 : kPadding);
    const size_t from = std::min(text.size(), part * characters);
    const size_t count = std::min(characters, text.size() - from);
    std::copy_n(text.begin() + static_cast<std::ptrdiff_t>(from), count, out.begin());
    return out;
}

bool applySelfTestSetting(SelfTestState& state, const std::string& key, const std::string& value) {
    if (key == kStatusKey) {
        state.statuses = hexList<uint8_t>(key, value, 0xFF);
    } else if (key == kRevisionKey) {
        state.revisions = hexList<uint16_t>(key, value, 0xFFFF);
    } else if (key == kIspInfoEndKey) {
        if (value != "zero" && value != "none")
            throw SimError("bad value '" + value + "' for " + key + " (expected zero or none)");
        state.ispInfoEnd = value == "zero" ? IspInfoEnd::Zero : IspInfoEnd::None;
    } else if (key.rfind(kIspInfoPrefix, 0) == 0 && key.size() == std::string(kIspInfoPrefix).size() + 1 &&
               key.back() >= '0' && key.back() < static_cast<char>('0' + st::kIspCount)) {
        if (value.size() > kMaxIspInfoLength)
            throw SimError("bad value for " + key + " (at most " + std::to_string(kMaxIspInfoLength) + " bytes)");
        auto& text = state.ispInfo[static_cast<size_t>(key.back() - '0')];
        if (value == kDefaultText)
            text.reset();
        else
            text = value;
    } else {
        return false;
    }
    return true;
}

std::vector<std::string> selfTestSettingKeys() {
    return {kStatusKey, kRevisionKey, "isp-info-0", "isp-info-1", "isp-info-2", kIspInfoEndKey};
}

}  // namespace camsim

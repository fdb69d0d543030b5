#include "SerialMap.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "device/usb/UsbPort.h"

namespace camsim {

namespace {

constexpr char kPrefix[] = "MASK";
constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr unsigned kBase = sizeof kDigits - 1;

// The ordinal in base 36, zero-padded (or cut from the left) to length, with
// the prefix when there is room for it.
std::string candidate(uint64_t ordinal, size_t length) {
    std::string digits;
    for (uint64_t rest = ordinal; rest > 0 || digits.empty(); rest /= kBase)
        digits.insert(digits.begin(), kDigits[rest % kBase]);
    const size_t prefix = sizeof kPrefix - 1;
    if (length >= prefix + digits.size()) return kPrefix + std::string(length - prefix - digits.size(), '0') + digits;
    if (length >= digits.size()) return std::string(length - digits.size(), '0') + digits;
    return digits.substr(digits.size() - length);
}

// The first of searched (longest first) that matches, if one does.
template <typename Match>
const std::string* serialAt(const std::vector<std::string>& searched, Match matches) {
    for (const std::string& serial : searched)
        if (matches(serial)) return &serial;
    return nullptr;
}

}  // namespace

void SerialMap::learn(const std::string& serial) {
    if (serial.empty() || replacements_.count(serial)) return;
    order_.push_back(serial);
    replacements_[serial] = serial;
}

void SerialMap::assignReplacements() {
    std::set<std::string> taken(order_.begin(), order_.end());
    uint64_t ordinal = 0;
    for (const std::string& serial : order_) {
        std::string replacement;
        // Short serials may run out of distinct replacements: then the last
        // candidate tried is used.
        for (int attempt = 0; attempt < 100000; ++attempt) {
            replacement = candidate(++ordinal, serial.size());
            if (!taken.count(replacement)) break;
        }
        taken.insert(replacement);
        replacements_[serial] = replacement;
        if (serial.size() >= kMinSearchedLength) searched_.push_back(serial);
    }
    std::stable_sort(searched_.begin(), searched_.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

std::optional<std::string> SerialMap::replacementOf(const std::string& serial) const {
    const auto found = replacements_.find(serial);
    if (found == replacements_.end()) return std::nullopt;
    return found->second;
}

std::string SerialMap::maskText(const std::string& text) const {
    std::string masked;
    masked.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const std::string* serial =
            serialAt(searched_, [&](const std::string& s) { return text.compare(at, s.size(), s) == 0; });
        if (!serial) {
            masked.push_back(text[at++]);
            continue;
        }
        masked += replacements_.at(*serial);
        at += serial->size();
    }
    // A path's serial tail is a serial, however short.
    const std::string tail = veltrion::serialOfUsbPath(masked);
    if (const auto replacement = replacementOf(tail); replacement && !tail.empty())
        masked.replace(masked.size() - tail.size(), tail.size(), *replacement);
    return masked;
}

void SerialMap::maskBytes(std::span<uint8_t> bytes) const {
    for (size_t at = 0; at < bytes.size();) {
        const size_t left = bytes.size() - at;
        const auto ascii = [&](const std::string& s) {
            return s.size() <= left && std::memcmp(bytes.data() + at, s.data(), s.size()) == 0;
        };
        const auto utf16 = [&](const std::string& s) {
            if (2 * s.size() > left) return false;
            for (size_t i = 0; i < s.size(); ++i)
                if (bytes[at + 2 * i] != static_cast<uint8_t>(s[i]) || bytes[at + 2 * i + 1] != 0) return false;
            return true;
        };
        if (const std::string* serial = serialAt(searched_, ascii)) {
            std::memcpy(bytes.data() + at, replacements_.at(*serial).data(), serial->size());
            at += serial->size();
        } else if (const std::string* wide = serialAt(searched_, utf16)) {
            const std::string& replacement = replacements_.at(*wide);
            for (size_t i = 0; i < replacement.size(); ++i) bytes[at + 2 * i] = static_cast<uint8_t>(replacement[i]);
            at += 2 * wide->size();
        } else {
            ++at;
        }
    }
}

}  // namespace camsim

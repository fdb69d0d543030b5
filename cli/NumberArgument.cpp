#include "NumberArgument.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace veltrion::cli {

namespace {

constexpr std::string_view kHexPrefixLower = "0x";
constexpr std::string_view kHexPrefixUpper = "0X";
constexpr std::string_view kBlanks = " \t\r\n";
constexpr uint32_t kDecimalRadix = 10;
constexpr uint32_t kHexRadix = 16;
constexpr uint32_t kDecimalDigits = 10;

std::optional<uint32_t> digitValue(char c, NumberBase base) {
    if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
    if (base == NumberBase::Decimal) return std::nullopt;
    if (c >= 'a' && c <= 'f') return static_cast<uint32_t>(c - 'a') + kDecimalDigits;
    if (c >= 'A' && c <= 'F') return static_cast<uint32_t>(c - 'A') + kDecimalDigits;
    return std::nullopt;
}

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

NumberParse parseNumber(std::string_view text, NumberBase base, uint32_t maxValue, uint32_t& value) {
    if (base == NumberBase::Hexadecimal &&
        (text.starts_with(kHexPrefixLower) || text.starts_with(kHexPrefixUpper)))
        text.remove_prefix(kHexPrefixLower.size());
    if (text.empty()) return NumberParse::NotANumber;
    const uint32_t radix = base == NumberBase::Decimal ? kDecimalRadix : kHexRadix;
    uint64_t number = 0;
    bool tooLarge = false;
    // Every character is read, so trailing text is refused even after an
    // overflow; the sum stops growing once it passes the field.
    for (char c : text) {
        const auto digit = digitValue(c, base);
        if (!digit) return NumberParse::NotANumber;
        if (!tooLarge) number = number * radix + *digit;
        if (number > maxValue) tooLarge = true;
    }
    if (tooLarge) return NumberParse::OutOfRange;
    value = static_cast<uint32_t>(number);
    return NumberParse::Ok;
}

std::optional<float> parseFloatValue(std::string_view text) {
    const std::string number(trimmed(text));
    if (number.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size() || !std::isfinite(value) ||
        std::fabs(value) > std::numeric_limits<float>::max())
        return std::nullopt;
    return static_cast<float>(value);
}

std::optional<int32_t> parseIntValue(std::string_view text) {
    const std::string number(trimmed(text));
    if (number.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(number.c_str(), &end, static_cast<int>(kDecimalRadix));
    if (end != number.c_str() + number.size() || errno == ERANGE ||
        value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(value);
}

}  // namespace veltrion::cli

#pragma once

// Strict reading of the numbers users type: a whole number, nothing around
// it, within the field it goes into. A number that only begins the text, a
// sign, or a value too large for its field would otherwise reach the camera
// as another number.

#include <cstdint>
#include <optional>
#include <string_view>

namespace veltrion::cli {

enum class NumberBase {
    Decimal,      // digits only
    Hexadecimal,  // hex digits, optionally after "0x" or "0X"
};

enum class NumberParse {
    Ok,
    NotANumber,  // empty, a sign, a blank or any other character
    OutOfRange,  // a whole number above the field's largest value
};

// Reads text as one unsigned number of at most maxValue.
NumberParse parseNumber(std::string_view text, NumberBase base, uint32_t maxValue, uint32_t& value);

// A value of a calibration file: blanks around the number are allowed, a
// sign too. Nothing when the text is not one number that the field holds: a
// finite float, or a signed 32-bit integer.
std::optional<float> parseFloatValue(std::string_view text);
std::optional<int32_t> parseIntValue(std::string_view text);

}  // namespace veltrion::cli

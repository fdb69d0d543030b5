// The console's strict number reading, on its own.

#include <gtest/gtest.h>

#include <string>

#include "NumberArgument.h"

using veltrion::cli::NumberBase;
using veltrion::cli::NumberParse;
using veltrion::cli::parseFloatValue;
using veltrion::cli::parseIntValue;
using veltrion::cli::parseNumber;

namespace {

NumberParse parse(const std::string& text, NumberBase base, uint32_t maxValue, uint32_t& value) {
    return parseNumber(text, base, maxValue, value);
}

}  // namespace

TEST(NumberArgument, WholeNumbersWithinTheirField) {
    uint32_t value = 0;
    EXPECT_EQ(parse("4294967295", NumberBase::Decimal, UINT32_MAX, value), NumberParse::Ok);
    EXPECT_EQ(value, 4294967295u);
    EXPECT_EQ(parse("007", NumberBase::Decimal, 7, value), NumberParse::Ok);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(parse("0x7fFFff", NumberBase::Hexadecimal, 0x7FFFFF, value), NumberParse::Ok);
    EXPECT_EQ(value, 0x7FFFFFu);
    EXPECT_EQ(parse("1000", NumberBase::Hexadecimal, UINT32_MAX, value), NumberParse::Ok);
    EXPECT_EQ(value, 0x1000u);

    // Past the field, however far: never wrapped into it.
    EXPECT_EQ(parse("4294967296", NumberBase::Decimal, UINT32_MAX, value), NumberParse::OutOfRange);
    EXPECT_EQ(parse("99999999999999999999999", NumberBase::Decimal, UINT32_MAX, value), NumberParse::OutOfRange);
    EXPECT_EQ(parse("0x100000000", NumberBase::Hexadecimal, UINT32_MAX, value), NumberParse::OutOfRange);
    EXPECT_EQ(parse("0x800000", NumberBase::Hexadecimal, 0x7FFFFF, value), NumberParse::OutOfRange);
    EXPECT_EQ(parse("256", NumberBase::Decimal, 255, value), NumberParse::OutOfRange);
    EXPECT_EQ(value, 0x1000u);  // untouched by a refusal
}

TEST(NumberArgument, AnythingBesideTheDigitsIsNotANumber) {
    uint32_t value = 0;
    for (const char* text : {"", "-1", "+1", " 1", "1 ", "1x", "0x", "x10", "1.0", "12abc"})
        EXPECT_EQ(parse(text, NumberBase::Decimal, UINT32_MAX, value), NumberParse::NotANumber) << text;
    for (const char* text : {"", "0x", "0X", "-0x10", "0x1g", "0x 1", "0x0x1", "99999999999999999999g"})
        EXPECT_EQ(parse(text, NumberBase::Hexadecimal, UINT32_MAX, value), NumberParse::NotANumber) << text;
    EXPECT_EQ(parse("ab", NumberBase::Decimal, UINT32_MAX, value), NumberParse::NotANumber);
}

TEST(NumberArgument, CalibrationValuesAreOneFiniteNumberOfTheirField) {
    EXPECT_EQ(parseFloatValue(" -0.125 \r"), -0.125f);
    EXPECT_EQ(parseFloatValue("1e3"), 1000.0f);
    for (const char* text : {"", " ", "inf", "-inf", "nan", "1e39", "70.5deg", "1,5"})
        EXPECT_FALSE(parseFloatValue(text)) << text;

    EXPECT_EQ(parseIntValue(" -77"), -77);
    EXPECT_EQ(parseIntValue("2147483647"), 2147483647);
    for (const char* text : {"", "2147483648", "-2147483649", "4294967297", "12abc", "1.5"})
        EXPECT_FALSE(parseIntValue(text)) << text;
}

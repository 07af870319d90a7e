#include "platform/NumberText.h"

#include <gtest/gtest.h>

#include <optional>

namespace tavor1 {
namespace {

// Register counters come zero- or blank-padded and may be cut short; a field
// past the end of a short reply reads as empty, never out of bounds.
TEST(NumberText, ReadsRegisterFieldsAndAmounts)
{
    EXPECT_EQ(leadingNumber(" \t-0042x7"), -42);
    EXPECT_EQ(leadingNumber("+17"), 17);
    EXPECT_EQ(leadingNumber("abc"), 0);
    EXPECT_EQ(leadingNumber("9999999999999999999999"), 999999999999999999LL);

    EXPECT_DOUBLE_EQ(leadingFraction(" -12.5EUR"), -12.5);
    EXPECT_DOUBLE_EQ(leadingFraction("-.5"), -0.5);
    EXPECT_DOUBLE_EQ(leadingFraction("12,5"), 12.0);
    EXPECT_DOUBLE_EQ(leadingFraction("x1"), 0.0);

    EXPECT_EQ(mid("1104ABCD", 5, 2), "AB");
    EXPECT_EQ(mid("1104ABCD", 7, 10), "CD");
    EXPECT_EQ(mid("1104", 5, 4), "");
    EXPECT_EQ(mid("1104", 0, 4), "");
}

struct IntegerCase {
    const char* name;
    std::string text;
    std::optional<std::int64_t> value;
};

class ReadIntegerTest : public testing::TestWithParam<IntegerCase> { };

TEST_P(ReadIntegerTest, ReadsUpToTheFirstNonDigit)
{
    EXPECT_EQ(readInteger(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(NumberText, ReadIntegerTest,
                         testing::Values(IntegerCase{"StopsAtLetter", "12abc", 12},
                                         IntegerCase{"NoDigitsIsZero", "abc", 0}, IntegerCase{"StopsAtPoint", "2.9", 2},
                                         IntegerCase{"BlanksAndSign", " \t-7", -7},
                                         IntegerCase{"Largest", "9223372036854775807", INT64_MAX},
                                         IntegerCase{"OneTooMany", "9223372036854775808", std::nullopt},
                                         IntegerCase{"FarTooLong", std::string(25, '9'), std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FieldCase {
    const char* name;
    std::string (*make)();
    std::string expected;
};

class TextFieldTest : public testing::TestWithParam<FieldCase> { };

TEST_P(TextFieldTest, MakesTheField)
{
    EXPECT_EQ(GetParam().make(), GetParam().expected);
}

// Frame sequence numbers, departments, amounts and document numbers are all
// padded with zeroPad; a value wider than its mask keeps its digits, so a
// caller that checks widths sees the overflow instead of a silently cut one.
INSTANTIATE_TEST_SUITE_P(
    NumberText, TextFieldTest,
    testing::Values(FieldCase{"TwoDigits", [] { return zeroPad(7, 2); }, "07"},
                    FieldCase{"NineDigits", [] { return zeroPad(1250, 9); }, "000001250"},
                    FieldCase{"LongerThanMask", [] { return zeroPad(123, 2); }, "123"},
                    FieldCase{"Negative", [] { return zeroPad(-5, 3); }, "-005"},
                    FieldCase{"MostNegative", [] { return zeroPad(INT64_MIN, 2); }, "-9223372036854775808"},
                    FieldCase{"CentsZero", [] { return centsToText(0); }, "0,00"},
                    FieldCase{"CentsFive", [] { return centsToText(5); }, "0,05"},
                    FieldCase{"CentsLarge", [] { return centsToText(123456); }, "1234,56"},
                    FieldCase{"CentsNegativeBelowOneEuro", [] { return centsToText(-5); }, "-0,05"},
                    FieldCase{"CentsMostNegative", [] { return centsToText(INT64_MIN); }, "-92233720368547758,08"},
                    FieldCase{"TrimBothEnds", [] { return Trim(" \tPANE \t"); }, "PANE"},
                    FieldCase{"TrimOnlyTheGivenBlanks", [] { return Trim("\t12 ", " "); }, "\t12"},
                    FieldCase{"TrimAllBlank", [] { return Trim("  \t "); }, ""},
                    FieldCase{"TrimEndKeepsTheStart", [] { return TrimEnd("  2 X 1,50   "); }, "  2 X 1,50"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NumberText, DigitsOnly)
{
    for (const char* yes : {"0", "0042", "1234567890"})
        EXPECT_TRUE(IsDigits(yes)) << yes;
    for (const char* no : {"", " 1", "1 ", "-1", "1.5", "12a"})
        EXPECT_FALSE(IsDigits(no)) << no;
}

} // namespace
} // namespace tavor1

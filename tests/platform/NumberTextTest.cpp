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

// Up to the first non-digit; empty only when the number does not fit.
TEST(NumberText, ReadsWholeNumbersAndRefusesOnesThatDoNotFit)
{
    EXPECT_EQ(readInteger("12abc"), 12);
    EXPECT_EQ(readInteger("abc"), 0);
    EXPECT_EQ(readInteger(" \t-7"), -7);
    EXPECT_EQ(readInteger("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(readInteger("9223372036854775808"), std::nullopt);
    EXPECT_EQ(readInteger(std::string(25, '9')), std::nullopt);
}

// Frame sequence numbers, departments, amounts and document numbers are all
// padded with zeroPad; a value wider than its mask keeps its digits, so a
// caller that checks widths sees the overflow instead of a silently cut one.
TEST(NumberText, MakesPaddedNumbersAmountsAndTrimmedFields)
{
    EXPECT_EQ(zeroPad(7, 2), "07");
    EXPECT_EQ(zeroPad(123, 2), "123");
    EXPECT_EQ(zeroPad(-5, 3), "-005");
    EXPECT_EQ(zeroPad(INT64_MIN, 2), "-9223372036854775808");

    EXPECT_EQ(centsToText(5), "0,05");
    EXPECT_EQ(centsToText(123456), "1234,56");
    EXPECT_EQ(centsToText(-5), "-0,05");
    EXPECT_EQ(centsToText(INT64_MIN), "-92233720368547758,08");

    EXPECT_EQ(Trim(" \tPANE \t"), "PANE");
    EXPECT_EQ(Trim("\t12 ", " "), "\t12") << "only the given blanks";
    EXPECT_EQ(Trim("  \t "), "");
    EXPECT_EQ(TrimEnd("  2 X 1,50   "), "  2 X 1,50");
}

TEST(NumberText, DigitsOnly)
{
    for (const char* yes : {"0", "0042", "1234567890"})
        EXPECT_TRUE(IsDigits(yes)) << yes;
    for (const char* no : {"", " 1", "1 ", "-1", "1.5", "12a"})
        EXPECT_FALSE(IsDigits(no)) << no;
}

} // namespace
} // namespace tavor1

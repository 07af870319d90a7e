#include "platform/NumberText.h"

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

// Register counters come zero- or blank-padded and may be cut short; a field
// past the end of a short reply reads as empty, never out of bounds.
TEST(NumberText, ReadsRegisterFieldsAndAmounts)
{
    EXPECT_EQ(LeadingNumber(" \t-0042x7"), -42);
    EXPECT_EQ(LeadingNumber("+17"), 17);
    EXPECT_EQ(LeadingNumber("abc"), 0);
    EXPECT_EQ(LeadingNumber("9999999999999999999999"), 999999999999999999LL);

    EXPECT_DOUBLE_EQ(LeadingFraction(" -12.5EUR"), -12.5);
    EXPECT_DOUBLE_EQ(LeadingFraction("-.5"), -0.5);
    EXPECT_DOUBLE_EQ(LeadingFraction("12,5"), 12.0);
    EXPECT_DOUBLE_EQ(LeadingFraction("x1"), 0.0);

    EXPECT_EQ(Mid("1104ABCD", 5, 2), "AB");
    EXPECT_EQ(Mid("1104ABCD", 7, 10), "CD");
    EXPECT_EQ(Mid("1104", 5, 4), "");
    EXPECT_EQ(Mid("1104", 0, 4), "");
}

} // namespace
} // namespace tavor1

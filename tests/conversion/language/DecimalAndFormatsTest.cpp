#include "conversion/language/Decimal.h"
#include "conversion/language/FieldFormats.h"

#include <gtest/gtest.h>

#include <functional>

namespace tavor1 {
namespace {

Decimal dec(const char* text)
{
    const auto d = Decimal::parse(text, '.');
    EXPECT_TRUE(d.has_value()) << text;
    return d.value_or(Decimal());
}

TEST(DecimalTest, HalvesRoundAwayFromZero)
{
    EXPECT_EQ(dec("12.345").roundedTo(2).toFixedText(2, ','), "12,35");
    EXPECT_EQ(dec("12.3449").roundedTo(2).toFixedText(2, ','), "12,34");
    EXPECT_EQ(dec("9.995").roundedTo(2).toText(','), "10");
    EXPECT_EQ(dec("-12.345").roundedTo(2).toText('.'), "-12.35");
    EXPECT_EQ(dec("0.5").roundedToInteger(), 1);
}

TEST(DecimalTest, ArithmeticIsExact)
{
    EXPECT_EQ(dec("0.1").times(Decimal::fromInteger(3))->toText('.'), "0.3");
    EXPECT_EQ(dec("0.1").plus(dec("0.2"))->toText('.'), "0.3");
    // 999 cents x 1.5 = 1498.5 cents: one price, one quantity, the half goes up.
    EXPECT_EQ(formatAmount9(*Decimal::fromInteger(999).times(dec("1.5"))), "000001499");
    EXPECT_EQ(Decimal::fromInteger(1000).dividedBy(Decimal::fromInteger(3), 2)->toText('.'), "333.33");
    EXPECT_EQ(Decimal::fromInteger(2).dividedBy(Decimal::fromInteger(3), 0)->units(), 1);
    EXPECT_FALSE(Decimal::fromInteger(1).dividedBy(Decimal::fromInteger(0), 2).has_value());
}

TEST(DecimalTest, ReadingStopsAtTheFirstForeignCharacter)
{
    EXPECT_EQ(dec("2.5x7"), dec("2.5"));
    EXPECT_EQ(dec("2.5.3"), dec("2.5"));
    EXPECT_TRUE(dec("").isZero());
    EXPECT_EQ(*Decimal::parse("12,5", ','), dec("12.5"));
    EXPECT_EQ(dec("  -3"), Decimal::fromInteger(-3));
}

TEST(DecimalTest, NumbersTooLongToCarryAreRefusedNotWrapped)
{
    EXPECT_FALSE(Decimal::parse(std::string(30, '9')).has_value());
    EXPECT_FALSE(Decimal::fromInteger(INT64_MAX / 2).times(Decimal::fromInteger(3)).has_value());
    // Decimals beyond the carried scale are cut, not an error.
    EXPECT_EQ(dec("1.123456789123"), dec("1.123456789"));
}

struct TextCase {
    const char* name;
    std::function<std::string()> run;
    const char* expected;
};

class FieldFormatTest : public testing::TestWithParam<TextCase> {};

TEST_P(FieldFormatTest, GivesTheExpectedText)
{
    EXPECT_EQ(GetParam().run(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FieldFormatTest,
    testing::Values(TextCase{"ThirdDecimalBelowFive", [] { return roundTwoDecimals("12,3449"); }, "12,34"},
                    TextCase{"ThirdDecimalFive", [] { return roundTwoDecimals("12,345"); }, "12,35"},
                    TextCase{"CarryToWhole", [] { return roundTwoDecimals("9,995"); }, "10"},
                    TextCase{"NoComma", [] { return roundTwoDecimals("7"); }, "7"},
                    TextCase{"OneDecimal", [] { return roundTwoDecimals("12,3"); }, "12,3"},
                    TextCase{"NegativeAwayFromZero", [] { return roundTwoDecimals("-1,235"); }, "-1,24"},
                    TextCase{"DecimalTextLong", [] { return centsToDecimalText("12345"); }, "123,45"},
                    TextCase{"DecimalTextTwo", [] { return centsToDecimalText("12"); }, ",12"},
                    TextCase{"DecimalTextOne", [] { return centsToDecimalText("5"); }, "0,05"},
                    TextCase{"StripDigits", [] { return stripLeadingZeros("00123"); }, "123"},
                    TextCase{"StripZerosBeforeComma", [] { return stripLeadingZeros("000,45"); }, "0,45"},
                    TextCase{"StripZero", [] { return stripLeadingZeros("0"); }, "0"},
                    TextCase{"AmountHalfCent", [] { return centsToAmountText(*Decimal::parse("1234.5")); }, "12,35"},
                    TextCase{"AmountZero", [] { return centsToAmountText(Decimal()); }, "0,00"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1

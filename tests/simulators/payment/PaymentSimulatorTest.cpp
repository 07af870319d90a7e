// The payment simulator's command-line outcomes. The served outcomes are
// exercised through the real client in tests/payment.

#include "simulators/payment/PaySimOutcome.h"

#include <optional>

#include <gtest/gtest.h>

namespace tavor1::paysim {
namespace {

struct ParseCase {
    const char* name;
    const char* text;
    std::optional<Outcome> outcome;
    int delayMs;
};

class PaySimParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(PaySimParse, ReadsTheCommandLineForm)
{
    const ParseCase& c = GetParam();
    const auto parsed = parseOutcome(c.text);
    ASSERT_EQ(parsed.has_value(), c.outcome.has_value());
    if (parsed) {
        EXPECT_EQ(parsed->outcome, *c.outcome);
        EXPECT_EQ(parsed->delayMs, c.delayMs);
    }
}

INSTANTIATE_TEST_SUITE_P(Results, PaySimParse,
                         ::testing::Values(ParseCase{"Approved", "00", Outcome::Approved, 0},
                                           ParseCase{"Slow", "slow:2500", Outcome::Slow, 2500},
                                           ParseCase{"SlowNegative", "slow:-5", std::nullopt, 0},
                                           ParseCase{"SlowTrailingText", "slow:10ms", std::nullopt, 0}),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace tavor1::paysim

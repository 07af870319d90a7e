#include "simulators/payment/PaySimOutcome.h"

#include <charconv>

namespace tavor1::paysim {

std::optional<OutcomeSetting> parseOutcome(std::string_view text)
{
    struct Name {
        std::string_view text;
        Outcome outcome;
    };
    static constexpr Name kNames[] = {
        {"00", Outcome::Approved},       {"05", Outcome::Declined},          {"error-message", Outcome::ErrorMessage},
        {"exception", Outcome::Exception}, {"garbage", Outcome::Garbage},    {"close", Outcome::Close},
        {"empty", Outcome::Empty},       {"huge", Outcome::Huge},            {"redirect-loop", Outcome::RedirectLoop},
        {"silent", Outcome::Silent},
    };
    for (const Name& name : kNames)
        if (text == name.text)
            return OutcomeSetting{name.outcome, 0};

    constexpr std::string_view kSlow = "slow:";
    if (text.substr(0, kSlow.size()) == kSlow) {
        const std::string_view digits = text.substr(kSlow.size());
        int ms = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), ms);
        if (error == std::errc() && end == digits.data() + digits.size() && !digits.empty() && ms >= 0)
            return OutcomeSetting{Outcome::Slow, ms};
    }
    return std::nullopt;
}

} // namespace tavor1::paysim

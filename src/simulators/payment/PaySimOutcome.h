#pragma once

#include <optional>
#include <string_view>

namespace tavor1::paysim {

// What the payment service simulator answers to the next payment request.
enum class Outcome {
    Approved,      // "00": NativeMethods.POSData with TransactionResult 00
    Declined,      // "05": NativeMethods.POSData with TransactionResult 05 and a KODescription
    ErrorMessage,  // "error-message": HTTP 500, an Error document with a Message only
    Exception,     // "exception": HTTP 500, an Error document with Message and ExceptionMessage
    Garbage,       // "garbage": HTTP 200 with a body that is not XML
    Slow,          // "slow:MS": the approved reply, MS milliseconds late
    Close,         // "close": the connection is closed without a reply
    Empty,         // "empty": HTTP 200 with an empty body
    Huge,          // "huge": HTTP 200 with a 10 MB body
    RedirectLoop,  // "redirect-loop": 302 back to the same path, every time
    Silent,        // "silent": the connection is accepted and never answered
};

struct OutcomeSetting {
    Outcome outcome = Outcome::Approved;
    // Only for Slow: the delay before the reply.
    int delayMs = 0;
};

// Reads the command line's form ("00", "slow:2500", ...); empty when unknown.
std::optional<OutcomeSetting> parseOutcome(std::string_view text);

} // namespace tavor1::paysim

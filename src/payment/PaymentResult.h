#pragma once

#include "platform/ResultCode.h"

#include <cstdint>

namespace tavor1 {

// The outcome of a card payment asked of the payment service. The job
// reports a refusal with the same number.
enum class PaymentResult : std::int16_t {
    Ok = 0, // no payment requested, or approved
    TimedOut = -200, // the wait ended without a reply
    ServiceError = -201, // error reply, or no transaction result
    Declined = -202, // the terminal answered other than "00"
    Unreachable = -203, // the service could not be reached
};

} // namespace tavor1

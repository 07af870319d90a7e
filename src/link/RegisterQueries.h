#pragma once

// Single-command queries of the register's facts, read at fixed positions of
// the reply's payload.

#include "link/RegisterExchange.h"
#include "platform/Clock.h"
#include "platform/NumberText.h"
#include "platform/Sinks.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tavor1 {

class RegisterQueries {
public:
    RegisterQueries(RegisterExchange& exchange, TraceSink& trace, const Clock& clock = SystemClock::instance());

    // "GRTO,V" + the ten characters of the grand total + ";", or empty.
    std::string readGrandTotal();
    // The four characters of the number of fiscal closings, or empty.
    std::string readClosingCount();

private:
    RegisterExchange& m_exchange;
    TraceSink& m_trace;
    const Clock& m_clock;
};

// The firmware version in a "1013" payload: the second word when it is of the
// form dd.dd.dd, else the text after a trailing "Rel."; empty when neither.
std::string firmwareFromPayload(std::string_view payload);

} // namespace tavor1

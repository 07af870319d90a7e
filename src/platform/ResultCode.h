#pragma once

// Result codes are enum classes over int16_t, one type per result space
// (exchange, send, job, payment), so that a code of one space can never be
// compared with a number of another by accident. Where a code leaves the
// program as a number (the journal, SR_ERR, LOGFILE.TXT, the trace), it is
// converted here and nowhere else.

#include <cstdint>
#include <string>
#include <type_traits>

namespace tavor1 {

// Only the enum classes over int16_t are result codes. (A trait rather than a
// concept: moc reads this header through the link's QObject headers and does
// not parse <concepts>.)
template <typename Code, typename = void> struct IsResultCode : std::false_type {
};
template <typename Code>
struct IsResultCode<Code, std::enable_if_t<std::is_enum_v<Code>>>
    : std::is_same<std::underlying_type_t<Code>, std::int16_t> {
};

// The number a code is written as.
template <typename Code> constexpr std::int16_t codeNumber(Code code)
{
    static_assert(IsResultCode<Code>::value, "a result code is an enum class over int16_t");
    return static_cast<std::int16_t>(code);
}

// The code a written number stands for (the journal reads its results back).
template <typename Code> constexpr Code codeFromNumber(std::int16_t number)
{
    static_assert(IsResultCode<Code>::value, "a result code is an enum class over int16_t");
    return static_cast<Code>(number);
}

// The number as text, for logs and the trace.
template <typename Code> std::string codeText(Code code)
{
    return std::to_string(codeNumber(code));
}

} // namespace tavor1

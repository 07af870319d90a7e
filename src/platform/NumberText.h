#pragma once

// Numbers and fields of byte text: register replies, request values, option
// files and payment amounts are all read and written with these, so that a
// number means the same wherever it is read.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavor1 {

// The blanks that hosts, option files and typed boxes put around values.
inline constexpr std::string_view kBlanks = " \t";

// The position of what follows the leading blanks (spaces, tabs) and an
// optional sign of a number text; `negative` tells whether the sign was '-'.
std::size_t skipBlanksAndSign(std::string_view text, bool& negative);

// A whole number read up to the first non-digit (leading blanks and a sign
// allowed): "12abc" is 12, "abc" is 0. Empty only when it does not fit.
std::optional<std::int64_t> readInteger(std::string_view text);

// The numeric value of the leading digits of a text (blanks before them and a
// sign allowed), 0 when there are none; the register's counters and amounts
// are read this way. Only the first 18 digits count, so it never overflows.
long long leadingNumber(std::string_view text);

// The leading number of a text as a value with its fraction: blanks, a sign,
// digits, a '.' and more digits ("2.5abc" is 2.5, "abc" is 0).
double leadingFraction(std::string_view text);

// Not empty and nothing but the digits 0 to 9.
bool IsDigits(std::string_view text);

// Masks "000000000", "0000", "00": the whole number zero-padded to `digits`;
// a longer number keeps all its digits, a negative one gets "-" in front.
std::string zeroPad(std::int64_t value, int digits);

// Cents in euro with the decimal comma, as receipts, the display and the
// trace show them: 0 -> 0,00; 5 -> 0,05; 150 -> 1,50; -150 -> -1,50.
std::string centsToText(std::int64_t cents);

// The text without the characters of `blanks` at both ends, or at its end.
std::string Trim(std::string_view text, std::string_view blanks = kBlanks);
std::string TrimEnd(std::string_view text, std::string_view blanks = kBlanks);

// The characters of a 1-based position and length, as far as the text reaches.
std::string mid(std::string_view text, std::size_t position, std::size_t length);

} // namespace tavor1

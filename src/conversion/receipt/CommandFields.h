#pragma once

// Fields of register commands that need more care than padding: amounts that
// must fit their nine digits, length-prefixed texts, print attributes, and
// the two amount computations of the converter, all on exact decimals.

#include "conversion/language/Decimal.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavor1::fields {

// The character placed before every amount on the customer display.
inline constexpr char kDisplayAmountMark = '\x7f';

// The largest amount a nine-digit field can carry.
inline constexpr std::int64_t kMaxFieldAmount = 999'999'999;

// A9: nine zero-padded digits. Empty when the amount is negative or would
// need a tenth digit: the register would read the digits out of place.
std::optional<std::string> amount9(std::int64_t cents);

// LL + text: the text's length as two digits, then the text. A text longer
// than 99 characters is cut, so the length field can never grow a third digit.
std::string lengthPrefixed(std::string_view text);

// The print attribute of an ",H" value: 1 gives "4", 2 gives "2", anything
// else (and no ",H") "1".
char printAttribute(const std::optional<std::string>& hValue);

// A whole number read up to the first non-digit; a number too long to read
// comes back as the largest value, so it fails every range check.
std::int64_t smallInteger(std::string_view value);

// cents x quantity, rounded to whole cents with halves away from zero. Empty
// on overflow or a negative result.
std::optional<std::int64_t> multiplyCents(std::int64_t cents, const Decimal& quantity);

// percent x cents / 100, first rounded to hundredths of a cent by the third
// decimal alone, then to whole cents with halves away from zero: the two
// roundings the register's own adjustments have always used. Empty on
// overflow or a negative result.
std::optional<std::int64_t> percentOfCents(const Decimal& percent, std::int64_t cents);

// F: cents shown in euro with "," and two decimals (1250 is "12,50").
std::string displayAmount(std::int64_t cents);

// Case-insensitive search; npos when absent.
std::size_t findNoCase(std::string_view text, std::string_view needle);

} // namespace tavor1::fields

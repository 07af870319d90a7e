#pragma once

// Reading numbers and fixed-position fields out of byte text: register
// replies, request values and payment amounts are all read this way.

#include <cstddef>
#include <string>
#include <string_view>

namespace tavor1 {

// The position of what follows the leading blanks (spaces, tabs) and an
// optional sign of a number text; `negative` tells whether the sign was '-'.
std::size_t SkipBlanksAndSign(std::string_view text, bool& negative);

// The numeric value of the leading digits of a text (blanks before them and a
// sign allowed), 0 when there are none; the register's counters and amounts
// are read this way.
long long LeadingNumber(std::string_view text);

// The leading number of a text as a value with its fraction: blanks, a sign,
// digits, a '.' and more digits ("2.5abc" is 2.5, "abc" is 0).
double LeadingFraction(std::string_view text);

// The characters of a 1-based position and length, as far as the text reaches.
std::string Mid(std::string_view text, std::size_t position, std::size_t length);

} // namespace tavor1

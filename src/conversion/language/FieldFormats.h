#pragma once

// Small text operations that turn the numbers of a request into the fields of
// register commands and print lines. Texts meant for people use "," as the
// decimal separator (the Italian locale the register's users work in).

#include "conversion/language/Decimal.h"
#include "platform/Clock.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tavor1 {

// A decimal-comma text rounded to two decimals by its third decimal only:
// 12,3449 -> 12,34; 12,345 -> 12,35; 9,995 -> 10; 7 -> 7. A negative value
// rounds away from zero as well (-1,235 -> -1,24).
std::string roundTwoDecimals(std::string_view text);

// The first "." turned into ",".
std::string dotToComma(std::string_view text);

// Digits of cents with "," before the last two: 12345 -> 123,45; 12 -> ,12;
// 5 -> 0,05. An empty text gives 0,00.
std::string centsToDecimalText(std::string_view cents);

// 00123 -> 123; 000,45 -> 0,45; an all-zero or empty text stays as it is.
std::string stripLeadingZeros(std::string_view text);

// The value in cents divided by 100 with two decimals ("0.00" mask, ","):
// 1234.5 cents -> 12,35.
std::string centsToAmountText(const Decimal& cents);

// A complete request line "PRNT,:DD-MM-YYYY   hh:mm;" with the clock's time.
std::string dateTimeLine(const Clock& clock);

// A9: an amount in cents rounded to whole cents (halves away from zero) and
// padded to nine digits.
std::string formatAmount9(const Decimal& cents);

// LL: the length of `text` as two digits.
std::string textLength2(std::string_view text);

// D22, T40 and the like: `text` cut after `width` or padded with blanks.
std::string fixedWidth(std::string_view text, std::size_t width);

// F: an amount in cents shown in euro with two decimals and ",": 1250 -> 12,50.
std::string displayAmountText(const Decimal& cents);

} // namespace tavor1

#include "conversion/language/FieldFormats.h"

#include "platform/NumberText.h"

#include <cstdio>

namespace tavor1 {

namespace {

std::string euroText(const Decimal& cents)
{
    const auto euros = cents.dividedBy(Decimal::fromInteger(100), 2);
    return euros ? euros->toFixedText(2, ',') : std::string("0,00");
}

} // namespace

std::string roundTwoDecimals(std::string_view text)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos)
        return std::string(text);
    const std::string truncated(text.substr(0, comma + 3 < text.size() ? comma + 3 : text.size()));
    const std::size_t third = comma + 3;
    const int thirdDigit = third < text.size() && text[third] >= '0' && text[third] <= '9' ? text[third] - '0' : 0;
    if (thirdDigit < 5)
        return truncated;
    const auto value = Decimal::parse(truncated, ',');
    if (!value)
        return truncated;
    const std::size_t firstNonBlank = truncated.find_first_not_of(' ');
    const bool negative = firstNonBlank != std::string::npos && truncated[firstNonBlank] == '-';
    const auto step = Decimal::fromUnits(negative ? -1 : 1, 2);
    const auto rounded = value->plus(*step);
    return rounded ? rounded->toText(',') : truncated;
}

std::string dotToComma(std::string_view text)
{
    std::string out(text);
    const std::size_t dot = out.find('.');
    if (dot != std::string::npos)
        out[dot] = ',';
    return out;
}

std::string centsToDecimalText(std::string_view cents)
{
    if (cents.empty())
        return "0,00";
    if (cents.size() == 1)
        return "0,0" + std::string(cents);
    std::string out(cents.substr(0, cents.size() - 2));
    out += ',';
    out += cents.substr(cents.size() - 2);
    return out;
}

std::string stripLeadingZeros(std::string_view text)
{
    const std::size_t first = text.find_first_not_of('0');
    if (first == std::string_view::npos)
        return std::string(text);
    if (text[first] == ',')
        return "0" + std::string(text.substr(first));
    return std::string(text.substr(first));
}

std::string centsToAmountText(const Decimal& cents)
{
    if (cents.isZero())
        return "0,00";
    return euroText(cents);
}

std::string dateTimeLine(const Clock& clock)
{
    const LocalDateTime t = clock.now();
    char buf[64];
    std::snprintf(buf, sizeof buf, "PRNT,:%02d-%02d-%04d   %02d:%02d;", t.day, t.month, t.year, t.hour, t.minute);
    return buf;
}

std::string formatAmount9(const Decimal& cents)
{
    return zeroPad(cents.roundedToInteger(), 9);
}

std::string textLength2(std::string_view text)
{
    return zeroPad(static_cast<std::int64_t>(text.size()), 2);
}

std::string fixedWidth(std::string_view text, std::size_t width)
{
    std::string out(text.substr(0, width));
    out.resize(width, ' ');
    return out;
}

std::string displayAmountText(const Decimal& cents)
{
    return euroText(cents);
}

} // namespace tavor1

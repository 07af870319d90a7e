#include "platform/NumberText.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace tavor1 {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::size_t skipBlanksAndSign(std::string_view text, bool& negative)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    return i;
}

std::optional<std::int64_t> readInteger(std::string_view text)
{
    bool negative = false;
    std::size_t i = skipBlanksAndSign(text, negative);
    std::int64_t value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        if (value > (std::numeric_limits<std::int64_t>::max() - (text[i] - '0')) / 10)
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

long long leadingNumber(std::string_view text)
{
    bool negative = false;
    const std::size_t from = skipBlanksAndSign(text, negative);
    std::size_t end = from;
    while (end < text.size() && isDigit(text[end]))
        ++end;
    // 18 digits cannot overflow; the register's widest field has ten.
    constexpr std::size_t kMaxDigits = 18;
    const std::int64_t magnitude = *readInteger(text.substr(from, std::min(end - from, kMaxDigits)));
    return negative ? -magnitude : magnitude;
}

double leadingFraction(std::string_view text)
{
    bool negative = false;
    const std::size_t from = skipBlanksAndSign(text, negative);
    std::size_t end = from;
    while (end < text.size() && isDigit(text[end]))
        ++end;
    if (end < text.size() && text[end] == '.') {
        ++end;
        while (end < text.size() && isDigit(text[end]))
            ++end;
    }
    const double magnitude = std::strtod(std::string(text.substr(from, end - from)).c_str(), nullptr);
    return negative ? -magnitude : magnitude;
}

bool IsDigits(std::string_view text)
{
    if (text.empty())
        return false;
    for (const char c : text)
        if (!isDigit(c))
            return false;
    return true;
}

std::string zeroPad(std::int64_t value, int digits)
{
    const bool negative = value < 0;
    // Through unsigned so that the most negative value has a magnitude too.
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string text = std::to_string(magnitude);
    if (digits > 0 && text.size() < std::size_t(digits))
        text.insert(0, std::size_t(digits) - text.size(), '0');
    return negative ? "-" + text : text;
}

std::string centsToText(std::int64_t cents)
{
    const std::string digits = zeroPad(cents, 3);
    // zeroPad keeps the sign in front of the padded digits.
    return digits.substr(0, digits.size() - 2) + "," + digits.substr(digits.size() - 2);
}

std::string Trim(std::string_view text, std::string_view blanks)
{
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(blanks) - first + 1));
}

std::string TrimEnd(std::string_view text, std::string_view blanks)
{
    const std::size_t last = text.find_last_not_of(blanks);
    return last == std::string_view::npos ? std::string() : std::string(text.substr(0, last + 1));
}

std::string mid(std::string_view text, std::size_t position, std::size_t length)
{
    if (position == 0 || position > text.size())
        return {};
    return std::string(text.substr(position - 1, length));
}

} // namespace tavor1

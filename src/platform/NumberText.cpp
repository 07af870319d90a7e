#include "platform/NumberText.h"

#include <cstdlib>

namespace tavor1 {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::size_t SkipBlanksAndSign(std::string_view text, bool& negative)
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

long long LeadingNumber(std::string_view text)
{
    bool negative = false;
    std::size_t i = SkipBlanksAndSign(text, negative);
    long long value = 0;
    // 18 digits cannot overflow; the register's widest field has ten.
    for (int digits = 0; i < text.size() && isDigit(text[i]) && digits < 18; ++i, ++digits)
        value = value * 10 + (text[i] - '0');
    return negative ? -value : value;
}

double LeadingFraction(std::string_view text)
{
    bool negative = false;
    const std::size_t from = SkipBlanksAndSign(text, negative);
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

std::string Mid(std::string_view text, std::size_t position, std::size_t length)
{
    if (position == 0 || position > text.size())
        return {};
    return std::string(text.substr(position - 1, length));
}

} // namespace tavor1

#include "driver/TimerSetting.h"

#include <cctype>
#include <cstdlib>

namespace tavor1 {

namespace {

// The numeric value of a typed text: leading blanks, a sign and the digits
// up to the first other character; 0 when there are none.
long long leadingNumber(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    long long v = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > 1000000000LL)
            break; // far beyond every cap; stops an overflow on a long typed number
    }
    return negative ? -v : v;
}

} // namespace

TimerSetting computeTimerSetting(const std::string& typed)
{
    TimerSetting s;
    s.boxText = typed;
    const long long v = leadingNumber(typed);
    if (v == 0)
        s.message = "Valore non ammesso";
    if (v <= 0)
        return s;
    if (v < 100) {
        if (v > 60)
            s.boxText = "60";
        s.intervalMs = static_cast<int>(leadingNumber(s.boxText)) * 1000;
    } else {
        s.intervalMs = v <= 60000 ? static_cast<int>(v) : 60000;
    }
    s.save = true;
    return s;
}

} // namespace tavor1

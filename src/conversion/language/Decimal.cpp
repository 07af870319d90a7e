#include "conversion/language/Decimal.h"

#include "platform/NumberText.h"

#include <cstdlib>
#include <limits>

namespace tavor1 {

namespace {

// Products and aligned sums of two 64-bit values need a wider intermediate.
// It stays in this file: callers see only 64-bit units and an empty optional
// where a result does not fit, never a wrapped value or a compiler extension.
using Wide = __int128;

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

Wide pow10(int n)
{
    Wide p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

std::optional<std::int64_t> narrow(Wide v)
{
    if (v > kMax || v < -kMax)
        return std::nullopt;
    return static_cast<std::int64_t>(v);
}

// a / b with halves away from zero; b > 0.
Wide divideRounded(Wide a, Wide b)
{
    const Wide q = a / b;
    const Wide r = a % b;
    const Wide twice = (r < 0 ? -r : r) * 2;
    if (twice >= b)
        return a < 0 ? q - 1 : q + 1;
    return q;
}

// Scales both values to the larger scale; empty when that does not fit.
bool align(const Decimal& a, const Decimal& b, Wide& ua, Wide& ub, int& scale)
{
    scale = a.scale() > b.scale() ? a.scale() : b.scale();
    ua = Wide(a.units()) * pow10(scale - a.scale());
    ub = Wide(b.units()) * pow10(scale - b.scale());
    return true;
}

std::string digitsOf(Wide magnitude)
{
    if (magnitude == 0)
        return "0";
    std::string out;
    while (magnitude > 0) {
        out.insert(out.begin(), char('0' + int(magnitude % 10)));
        magnitude /= 10;
    }
    return out;
}

} // namespace

std::optional<Decimal> Decimal::fromUnits(std::int64_t units, int scale)
{
    if (scale < 0 || scale > 18 || units == std::numeric_limits<std::int64_t>::min())
        return std::nullopt;
    return Decimal(units, scale);
}

std::optional<Decimal> Decimal::parse(std::string_view text, char point)
{
    bool negative = false;
    std::size_t i = skipBlanksAndSign(text, negative);
    Wide units = 0;
    int scale = 0;
    bool afterPoint = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == point && !afterPoint) {
            afterPoint = true;
            continue;
        }
        if (c < '0' || c > '9')
            break;
        if (afterPoint) {
            if (scale == kMaxScale)
                continue; // further decimals are cut
            ++scale;
        }
        units = units * 10 + (c - '0');
        if (units > kMax)
            return std::nullopt;
    }
    return Decimal(static_cast<std::int64_t>(negative ? -units : units), scale);
}

std::optional<Decimal> Decimal::plus(const Decimal& other) const
{
    Wide a, b;
    int scale;
    align(*this, other, a, b, scale);
    const auto units = narrow(a + b);
    if (!units)
        return std::nullopt;
    return Decimal(*units, scale);
}

std::optional<Decimal> Decimal::minus(const Decimal& other) const
{
    return plus(Decimal(-other.m_units, other.m_scale));
}

std::optional<Decimal> Decimal::times(const Decimal& other) const
{
    Wide product = Wide(m_units) * Wide(other.m_units);
    int scale = m_scale + other.m_scale;
    // Keep the scale within what a text can carry; the cut decimals are far
    // below a cent.
    while (scale > 18) {
        product = divideRounded(product, 10);
        --scale;
    }
    const auto units = narrow(product);
    if (!units)
        return std::nullopt;
    return Decimal(*units, scale);
}

std::optional<Decimal> Decimal::dividedBy(const Decimal& divisor, int decimals) const
{
    if (divisor.m_units == 0 || decimals < 0 || decimals > 18)
        return std::nullopt;
    // (u1 / 10^s1) / (u2 / 10^s2) * 10^d = u1 * 10^(s2 + d - s1) / u2
    const int shift = divisor.m_scale + decimals - m_scale;
    Wide numerator = m_units;
    Wide denominator = divisor.m_units;
    if (shift >= 0)
        numerator *= pow10(shift);
    else
        denominator *= pow10(-shift);
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    const auto units = narrow(divideRounded(numerator, denominator));
    if (!units)
        return std::nullopt;
    return Decimal(*units, decimals);
}

Decimal Decimal::roundedTo(int decimals) const
{
    if (decimals < 0)
        decimals = 0;
    if (decimals >= m_scale)
        return *this;
    return Decimal(static_cast<std::int64_t>(divideRounded(m_units, pow10(m_scale - decimals))), decimals);
}

Decimal Decimal::truncatedTo(int decimals) const
{
    if (decimals < 0)
        decimals = 0;
    if (decimals >= m_scale)
        return *this;
    return Decimal(static_cast<std::int64_t>(Wide(m_units) / pow10(m_scale - decimals)), decimals);
}

std::string Decimal::toText(char point) const
{
    Wide units = m_units;
    int scale = m_scale;
    while (scale > 0 && units % 10 == 0) {
        units /= 10;
        --scale;
    }
    return Decimal(static_cast<std::int64_t>(units), scale).toFixedText(scale, point);
}

std::string Decimal::toFixedText(int decimals, char point) const
{
    if (decimals < 0)
        decimals = 0;
    const Decimal r = roundedTo(decimals);
    Wide units = Wide(r.m_units) * pow10(decimals - r.m_scale);
    const bool negative = units < 0;
    std::string digits = digitsOf(negative ? -units : units);
    if (digits.size() <= std::size_t(decimals))
        digits.insert(0, std::size_t(decimals) + 1 - digits.size(), '0');
    std::string out = negative ? "-" : "";
    out += digits.substr(0, digits.size() - decimals);
    if (decimals > 0) {
        out += point;
        out += digits.substr(digits.size() - decimals);
    }
    return out;
}

int Decimal::compare(const Decimal& a, const Decimal& b)
{
    Wide ua, ub;
    int scale;
    align(a, b, ua, ub, scale);
    return ua < ub ? -1 : (ua > ub ? 1 : 0);
}

} // namespace tavor1

#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavor1 {

// An exact decimal number: units * 10^-scale. Quantities (thousandths), cents,
// percentages and the amounts made of them are carried this way so that no
// cent is ever lost to binary floating point (0.1 x 3 is exactly 0.3).
// Every operation that could overflow reports it with an empty optional; the
// caller skips the step, as it does with any other value it cannot use.
class Decimal {
public:
    // Decimals beyond this are cut when a text is read.
    static constexpr int kMaxScale = 9;

    constexpr Decimal() = default;
    static Decimal fromInteger(std::int64_t value) { return Decimal(value, 0); }
    static std::optional<Decimal> fromUnits(std::int64_t units, int scale);

    // Reads the number at the start of `text` the way the request language
    // reads its values: leading blanks, an optional sign, digits, one `point`
    // and more digits; the reading stops at the first other character. A text
    // without digits reads as 0. Empty only when the digits do not fit.
    static std::optional<Decimal> parse(std::string_view text, char point = '.');

    std::int64_t units() const { return m_units; }
    int scale() const { return m_scale; }
    int sign() const { return m_units > 0 ? 1 : (m_units < 0 ? -1 : 0); }
    bool isZero() const { return m_units == 0; }

    std::optional<Decimal> plus(const Decimal& other) const;
    std::optional<Decimal> minus(const Decimal& other) const;
    std::optional<Decimal> times(const Decimal& other) const;
    // this / divisor, rounded to `decimals` decimals, halves away from zero.
    std::optional<Decimal> dividedBy(const Decimal& divisor, int decimals) const;

    // Halves away from zero: 12.345 -> 12.35, 9.995 -> 10.00, -0.5 -> -1.
    Decimal roundedTo(int decimals) const;
    // Further decimals dropped: 2.12345 -> 2.123.
    Decimal truncatedTo(int decimals) const;
    // The whole number nearest to the value, halves away from zero.
    std::int64_t roundedToInteger() const { return roundedTo(0).m_units; }

    // The shortest text: no trailing zeros, no point for whole numbers,
    // "0" before a leading point ("12,3", "10", "0,05").
    std::string toText(char point) const;
    // Exactly `decimals` decimals, rounded halves away from zero ("0.00" mask).
    std::string toFixedText(int decimals, char point) const;

    friend bool operator==(const Decimal& a, const Decimal& b) { return compare(a, b) == 0; }
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) { return compare(a, b) <=> 0; }

private:
    constexpr Decimal(std::int64_t units, int scale) : m_units(units), m_scale(scale) {}
    static int compare(const Decimal& a, const Decimal& b);

    std::int64_t m_units = 0;
    int m_scale = 0;
};

} // namespace tavor1

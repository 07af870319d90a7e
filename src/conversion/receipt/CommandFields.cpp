#include "conversion/receipt/CommandFields.h"

#include "conversion/language/FieldFormats.h"
#include "platform/NumberText.h"

#include <limits>

namespace tavor1::fields {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

} // namespace

std::optional<std::string> amount9(std::int64_t cents)
{
    if (cents < 0 || cents > kMaxFieldAmount) return std::nullopt;
    return zeroPad(cents, 9);
}

std::string lengthPrefixed(std::string_view text)
{
    if (text.size() > 99) text = text.substr(0, 99);
    return textLength2(text) + std::string(text);
}

char printAttribute(const std::optional<std::string>& hValue)
{
    if (!hValue) return '1';
    switch (smallInteger(*hValue)) {
    case 1:
        return '4';
    case 2:
        return '2';
    default:
        return '1';
    }
}

std::int64_t smallInteger(std::string_view value)
{
    return readInteger(value).value_or(std::numeric_limits<std::int64_t>::max());
}

std::optional<std::int64_t> multiplyCents(std::int64_t cents, const Decimal& quantity)
{
    auto product = Decimal::fromInteger(cents).times(quantity);
    if (!product) return std::nullopt;
    const std::int64_t rounded = product->roundedToInteger();
    if (rounded < 0) return std::nullopt;
    return rounded;
}

std::optional<std::int64_t> percentOfCents(const Decimal& percent, std::int64_t cents)
{
    auto product = percent.times(Decimal::fromInteger(cents));
    if (!product) return std::nullopt;
    // Dividing by 100 moves the point: exact, nothing rounded yet. Then only
    // the third decimal of the cents decides the rounding to hundredths,
    // whatever follows it.
    auto value = product->scale() <= 16 ? Decimal::fromUnits(product->units(), product->scale() + 2)
                                        : product->dividedBy(Decimal::fromInteger(100), 18);
    if (!value) return std::nullopt;
    const Decimal thousandths = value->truncatedTo(3);
    const Decimal hundredths = thousandths.truncatedTo(2);
    Decimal rounded = hundredths;
    auto third = thousandths.minus(hundredths);
    if (third && *third >= *Decimal::fromUnits(5, 3)) {
        auto up = hundredths.plus(*Decimal::fromUnits(1, 2));
        if (!up) return std::nullopt;
        rounded = *up;
    }
    const std::int64_t whole = rounded.roundedToInteger();
    if (whole < 0) return std::nullopt;
    return whole;
}

std::string displayAmount(std::int64_t cents)
{
    return displayAmountText(Decimal::fromInteger(cents));
}

std::size_t findNoCase(std::string_view text, std::string_view needle)
{
    if (needle.empty()) return 0;
    for (std::size_t i = 0; i + needle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && upper(text[i + k]) == upper(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

} // namespace tavor1::fields

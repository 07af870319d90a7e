#include "link/DataDump.h"

#include "protocol/Protocol.h"
#include "link/RegisterQueries.h"
#include "platform/ByteFiles.h"

#include <cstdlib>
#include <string_view>

namespace tavor1 {

namespace {

enum class Kind { Count, Amount };

struct Total {
    int code;
    const char* description;
    std::size_t position;  // 1-based, in the "1004" payload
    std::size_t length;
    Kind kind;
};

// File order. The gross total (18) and the closings (83) are not read from
// "1004" and are written by hand after and at the end.
constexpr Total kTotals[] = {
    {80, "NUM.SCONTR.FISCALI", 5, 4, Kind::Count},
    {1, "TOT.SCONTR.FISCALI", 9, 9, Kind::Amount},
    {86, "NUM.FATTURE", 18, 4, Kind::Count},
    {15, "TOT.FATTURE", 22, 9, Kind::Amount},
    {87, "NUM.RICEVUTE FISC.", 31, 4, Kind::Count},
    {16, "TOT.RICEVUTE FISC.", 35, 9, Kind::Amount},
    {82, "NUM.SCONTR.LETT.MF", 44, 4, Kind::Count},
    {9, "TOT.MAGGIORAZIONI", 48, 9, Kind::Amount},
    {7, "TOT.SCONTI", 57, 9, Kind::Amount},
    {12, "TOT.ANNULLI", 66, 9, Kind::Amount},
    {11, "TOT.RESI", 75, 9, Kind::Amount},
    {28, "TOT.CORR. NON PAG.", 84, 9, Kind::Amount},
};

std::string formatCents(long long cents, char decimalSeparator)
{
    const bool negative = cents < 0;
    const unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(cents)
                                                  : static_cast<unsigned long long>(cents);
    std::string fraction = std::to_string(magnitude % 100);
    if (fraction.size() < 2)
        fraction.insert(0, 1, '0');
    return (negative ? "-" : "") + std::to_string(magnitude / 100) + decimalSeparator + fraction;
}

std::string line(int code, const char* description, const std::string& value)
{
    return std::to_string(code) + "|" + description + "|" + value + "\r\n";
}

} // namespace

std::optional<ExchangeResult> dumpRegisterData(RegisterExchange& exchange, const std::string& fileName, bool append,
                                               char decimalSeparator)
{
    const ExchangeResult totalsResult = exchange.transmitCommand(protocol::msg::DayTotals);
    // Only this exchange's reply is read: after a failure replyData still holds
    // some earlier command's payload, which must not be dumped as totals.
    const std::string payload = totalsResult == ExchangeResult::Accepted ? exchange.replyData() : std::string();

    std::string out = "DataCode|DataDescription|Value|Index\r\n";
    long long salesCents = 0;
    long long markupCents = 0;
    long long discountCents = 0;
    for (const Total& total : kTotals) {
        const long long value = leadingNumber(mid(payload, total.position, total.length));
        if (total.code == 1)
            salesCents = value;
        else if (total.code == 9)
            markupCents = value;
        else if (total.code == 7)
            discountCents = value;
        out += line(total.code, total.description,
                    total.kind == Kind::Count ? std::to_string(value) : formatCents(value, decimalSeparator));
    }
    out += line(18, "TOT.LORDO GIORN.", formatCents(salesCents + markupCents - discountCents, decimalSeparator));

    if (exchange.transmitCommand(protocol::msg::FiscalClosings) == ExchangeResult::Accepted &&
        exchange.replyData().size() >= 8)
        out += line(83, "NUM.AZZ.FISC.", std::to_string(leadingNumber(mid(exchange.replyData(), 5, 4))));

    const bool written = append ? appendFileBytes(fileName, out) : writeFileBytes(fileName, out);
    if (!written)
        return std::nullopt;
    return totalsResult;
}

} // namespace tavor1

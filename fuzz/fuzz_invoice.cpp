// The invoice-to-receipt rewriting on arbitrary request lines.
#include "FuzzSupport.h"
#include "conversion/language/VatRateTable.h"
#include "conversion/invoice/InvoiceConversion.h"
#include "platform/Clock.h"
#include "platform/Sinks.h"

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const tavor1::VatRateTable rates;
    static const tavor1::FixedClock clock(tavor1::LocalDateTime{2026, 12, 6, 10, 30, 0});
    static tavor1::NullTraceSink trace;

    tavor1::InvoiceLayout layout;
    layout.width = 20 + data[0] % 40;
    layout.printPaymentLines = data[0] & 0x01;
    layout.printInvoiceNumber = data[0] & 0x02;
    layout.printDateLines = data[0] & 0x04;

    const tavor1::InvoiceEnvironment env{rates, clock, trace};
    tavor1::InvoiceHandover handover;
    std::ostringstream target;
    tavor1::rewriteInvoiceLines(tavor1::fuzz::splitLines(tavor1::fuzz::asText(data + 1, size - 1)), layout, env,
                                handover, target);
    return 0;
}

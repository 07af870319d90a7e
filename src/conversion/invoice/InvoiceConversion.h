#pragma once

// Rewrites an invoice request ("OPFS" ... "CLFS") into courtesy lines that
// the receipt converter prints as a non-fiscal document: header, articles
// with their VAT letters, adjustments, payments, the VAT summary and the
// customer's heading, right-justified to a fixed width.

#include "conversion/language/VatRateTable.h"
#include "platform/Clock.h"
#include "platform/Sinks.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace tavor1 {

// What the rewriting needs from outside.
struct InvoiceEnvironment {
    const VatRateTable& vatRates;
    const Clock& clock;
    TraceSink& trace;
};

// What the rewriting hands to the receipt converter.
struct InvoiceHandover {
    // Cents: the "OPFS" total when the host gave one, else the sum of the
    // articles and adjustments. 0 after a failed rewriting.
    std::int64_t invoiceTotal = 0;
    // Lines 1..4 from the "OPFS" fields ",:", ",<", ",=", ",>", then one line
    // per "EXTL," line.
    std::vector<std::string> invoiceHeading;
    // An "OPFS" line was seen: "PRNT," texts are read in invoice text mode.
    bool invoiceTextMode = false;
};

struct InvoiceLayout {
    int width = 32;                 // print width of a courtesy line
    bool printPaymentLines = true;  // a justified line per payment
    bool printInvoiceNumber = true; // "PRNT,:FATTURA Num. n" after "OPFS"
    bool printDateLines = true;     // date and time before the first article
};

// Rewrites `source` lines (as the host wrote them) into `target`, one request
// line each, ending with CR LF. False when an article's VAT rate is not in
// the table: `target` then holds the lines written so far, and the handover
// has invoiceTotal 0.
bool rewriteInvoiceLines(const std::vector<std::string>& source, const InvoiceLayout& layout,
                         const InvoiceEnvironment& env, InvoiceHandover& handover, std::ostream& target);

// The file form: reads `sourcePath` (a copy of the request), creates
// `targetPath` anew. True when the source was read to its end and the target
// closed with "CLFS;". A file that cannot be read or written is traced.
bool convertInvoiceToReceipt(const std::string& sourcePath, const std::string& targetPath, std::int16_t width,
                             bool printPaymentLines, bool printInvoiceNumber, bool printDateLines,
                             const InvoiceEnvironment& env, InvoiceHandover& handover);

} // namespace tavor1

#pragma once

// The receipt converter: one request file (SR_DATI) in, the ordered list of
// register commands out, written to KB.txt in the data directory. The
// transmission sends that list and reads what the conversion leaves for it
// from ConversionResult.

#include "platform/Clock.h"
#include "platform/Sinks.h"
#include "settings/Options.h"
#include "settings/RegisterFacts.h"

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tavor1 {

// Everything the conversion needs from outside. Options and register facts
// are copied in at the start of the job; the sinks and the clock must outlive
// the call.
struct ConversionContext {
    Options options;
    // registerIsRT, serialNumber (the own serial a document reference is
    // compared with) and modelCode (the tax-code letter) are read.
    RegisterFacts facts;
    // Data directory without a trailing separator; KB.txt, tempSL.txt and the
    // default file of a READ line live here.
    std::string dataDir;
    int channel = 1;
    // VAT rates in hundredths of a percent for the letters A to E, as loaded
    // from TVVALIVA.txt; only the invoice rewriting uses them.
    std::array<int, 5> vatRates{400, 1000, 2200, 3600, 0};
    TraceSink* trace = nullptr;        // null: no trace
    MessageSink* messages = nullptr;   // null: messages are dropped
    const Clock* clock = nullptr;      // null: the system clock
    // The pause between copying an invoice request and rewriting it. The
    // driver passes an event-driven wait; empty means no pause.
    std::function<void(int milliseconds)> pause;
    // A request larger than this fails instead of being read into memory.
    std::size_t maxRequestBytes = 64u * 1024u * 1024u;
};

// Index of the payment kinds in ConversionResult::paymentTypeUsed, in the
// order the transmission shows them on the display.
enum PaymentKind : std::size_t { PaymentCash = 0, PaymentCheque = 1, PaymentCard = 2, PaymentOther = 3 };

// What the conversion leaves for the transmission.
struct ConversionResult {
    // The command list as written to KB.txt, one register command or
    // transmission directive ("DOST%", "MOST%", "READ,") per entry.
    std::vector<std::string> commands;

    bool paymentSeen = false;
    // A FUNC line other than ",N39" was converted: no closing by the
    // transmission either.
    bool functionSeen = false;
    // A cash, cheque, card or other payment came without an amount (or was
    // turned into a rest by a document reference): after the payment command
    // the transmission shows the running amount on the display for it.
    std::array<bool, 4> paymentTypeUsed{};
    // Display name of the "other" payment (BANC, TEND, TICK).
    std::string otherPaymentName;

    // Job-level flag: set by an "OPFS" line and kept until the transmission
    // resets it at the start of the next job. The converter reads it on entry
    // (it changes how "PRNT," texts are read) and leaves it set.
    bool invoiceTextMode = false;
    // A9 of the invoice total of the last "OPFS" line, empty without one.
    std::string invoiceTotal;

    // Why the conversion gave no command list (one Italian line for the
    // integrator), empty on success.
    std::string failureReason;
};

// Converts the request file at requestPath into KB.txt in ctx.dataDir.
// Returns 0 when KB.txt was written, 1 when there is no command list.
// Everything in result except invoiceTextMode is reset on entry.
int convertRequestFile(const std::string& requestPath, const ConversionContext& ctx, ConversionResult& result);

// The conversion of request lines already in memory, without the
// pre-conversions and without writing KB.txt: the heart of
// convertRequestFile, for tests and benchmarks. Returns 0 or 1 as
// convertRequestFile does.
int convertRequestLines(const std::vector<std::string>& lines, const ConversionContext& ctx, ConversionResult& result);

} // namespace tavor1

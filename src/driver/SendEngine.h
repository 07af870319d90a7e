#pragma once

#include "exchange/JobSettlement.h"
#include "transmission/CancelSequence.h"
#include "transmission/JobOutcome.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tavor1 {

class Clock;
class ExchangeFiles;
class MessageSink;
class RegisterConnection;
class RegisterLink;
class TraceSink;
struct Options;
struct POSData;
struct RegisterFacts;
class VatRateTable;

// The document transmission as the driver wires it: the receipt converter,
// the data dump, the register queries and the connection under one roof.
// Kept behind this small interface so that the window and the job cycle do
// not see the transmission's headers.
// What the job journal is told while a document goes out.
struct DocumentHooks {
    std::function<void(const std::string& counters)> countersRead;
    std::function<void()> documentBegun;
};

class SendEngine {
public:
    // vatRates is read at every conversion (the driver loads it after
    // building this engine).
    SendEngine(RegisterLink& link, RegisterConnection& connection, const Options& options,
               const RegisterFacts& facts, const VatRateTable& vatRates, std::string dataDir, ExchangeFiles& files,
               TraceSink& trace, MessageSink& messages, const Clock& clock);
    ~SendEngine();

    // sendRequest for the channel's request.
    SendResult send(const std::string& requestPath, int channel, const std::string& outPath, bool testReceiptMode,
                    const POSData* pos, const DocumentHooks& hooks = {});
    // "Annullla Doc".
    void cancel();
    // Cancels the document the driver left open, when the register says one
    // is open.
    DocumentCancel cancelOpenDocument(bool slipOpen = false);
    // Whether the document begun at these counters was completed since.
    DocumentProgress documentProgressSince(const std::string& countersBefore);
    // SR_OUT of a document completed before a crash: the register's summary
    // and the payment block of an approved payment.
    std::string registerSummary(const POSData* pos);
    // The same sequence asked for between two jobs; the register's answers.
    std::vector<CancelStep> cancelBetweenJobs();
    // The register's text of its error 99 in the last transmission.
    std::string registerErrorText() const;
    // SR_OUT of the last transmission when it could not be written.
    std::optional<std::string> unwrittenOutput() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tavor1

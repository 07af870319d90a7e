#pragma once

#include "transmission/CancelSequence.h"

#include <cstdint>
#include <functional>
#include <memory>
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
class SendEngine {
public:
    // vatRates is read at every conversion (the driver loads it after
    // building this engine).
    SendEngine(RegisterLink& link, RegisterConnection& connection, const Options& options,
               const RegisterFacts& facts, const VatRateTable& vatRates, std::string dataDir, ExchangeFiles& files,
               TraceSink& trace, MessageSink& messages, const Clock& clock);
    ~SendEngine();

    // DoSendFile for the channel's request; returns SendResult.
    std::int16_t send(const std::string& requestPath, int channel, const std::string& outPath,
                      bool testReceiptMode, const POSData* pos);
    // "Annullla Doc".
    void cancel();
    // The same sequence asked for between two jobs; the register's answers.
    std::vector<CancelStep> cancelBetweenJobs();
    // The register's text of its error 99 in the last transmission.
    std::string registerErrorText() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tavor1

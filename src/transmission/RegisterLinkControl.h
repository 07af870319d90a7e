#pragma once

// The transmission's view of the real register link, and the services it
// calls out to, wired to the converter, the data dump and the queries.

#include "conversion/receipt/ReceiptConverter.h"
#include "transmission/Transmission.h"

#include <functional>

namespace tavor1 {

class RegisterConnection;
class RegisterLink;
class VatRateTable;

class RegisterLinkControl final : public LinkControl {
public:
    RegisterLinkControl(RegisterConnection& connection, RegisterLink& link, const Options& options);

    // The connection wait of a job: the number of the selected cboToutConn
    // entry counts the connection's polls, as everywhere else.
    bool connectAndWait() override;
    bool isConnected() const override;
    bool isBusy() const override;
    void clearResetRequested() override;

private:
    RegisterConnection& m_connection;
    RegisterLink& m_link;
    const Options& m_options;
};

// What the conversion of a job is given besides the options and the register
// facts, which are read when the job converts (the window may have changed
// them since the program started).
struct ConversionSources {
    const Options* options = nullptr;
    const RegisterFacts* facts = nullptr;
    std::string dataDir;
    std::array<int, 5> vatRates{400, 1000, 2200, 3600, 0};
    // When set, the rates are taken from this table at each conversion
    // instead of vatRates.
    const VatRateTable* vatTable = nullptr;
    TraceSink* trace = nullptr;
    MessageSink* messages = nullptr;
    const Clock* clock = nullptr;
    std::function<void(int milliseconds)> pause;
};

// The converter, the data dump of "READ," lines and the register queries of
// the SR_OUT summary, over the given exchange.
TransmissionServices standardTransmissionServices(RegisterExchange& link, TraceSink& trace, const Clock& clock,
                                                  ConversionSources sources);

} // namespace tavor1

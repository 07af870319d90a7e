#include "driver/SendEngine.h"

#include "link/RegisterConnection.h"
#include "link/RegisterLink.h"
#include "platform/qt/Wait.h"
#include "transmission/RegisterLinkControl.h"
#include "transmission/Transmission.h"

namespace tavor1 {

struct SendEngine::Impl {
    Impl(RegisterLink& link, RegisterConnection& connection, const Options& options, const RegisterFacts& facts,
         const VatRateTable& vatRates, std::string dataDir, ExchangeFiles& files, TraceSink& trace,
         MessageSink& messages, const Clock& clock)
        : control(connection, link, options),
          transmission(link, control, options, facts, dataDir, files, trace, messages, clock,
                       standardTransmissionServices(link, trace, clock,
                                                    sources(options, facts, vatRates, dataDir, trace, messages, clock)))
    {}

    static ConversionSources sources(const Options& options, const RegisterFacts& facts, const VatRateTable& vatRates,
                                     const std::string& dataDir, TraceSink& trace, MessageSink& messages,
                                     const Clock& clock)
    {
        ConversionSources s;
        s.options = &options;
        s.facts = &facts;
        // The table as loaded from TVVALIVA.txt when the job converts, not as
        // it stood when the driver was built.
        s.vatTable = &vatRates;
        s.dataDir = dataDir;
        s.trace = &trace;
        s.messages = &messages;
        s.clock = &clock;
        s.pause = [](int ms) { pauseFor(ms); };
        return s;
    }

    RegisterLinkControl control;
    Transmission transmission;
};

SendEngine::SendEngine(RegisterLink& link, RegisterConnection& connection, const Options& options,
                       const RegisterFacts& facts, const VatRateTable& vatRates, std::string dataDir,
                       ExchangeFiles& files, TraceSink& trace, MessageSink& messages, const Clock& clock)
    : m_impl(std::make_unique<Impl>(link, connection, options, facts, vatRates, std::move(dataDir), files, trace,
                                    messages, clock))
{}

SendEngine::~SendEngine() = default;

SendResult SendEngine::send(const std::string& requestPath, int channel, const std::string& outPath,
                            bool testReceiptMode, const POSData* pos, const DocumentHooks& hooks)
{
    SendJob job;
    job.channel = channel;
    job.outPath = outPath;
    job.testReceiptMode = testReceiptMode;
    job.pos = pos;
    job.countersRead = hooks.countersRead;
    job.documentBegun = hooks.documentBegun;
    return m_impl->transmission.sendRequest(requestPath, job);
}

void SendEngine::cancel()
{
    m_impl->transmission.onCancelClicked();
}

DocumentCancel SendEngine::cancelOpenDocument(bool slipOpen)
{
    return m_impl->transmission.cancelOpenDocument(slipOpen);
}

DocumentProgress SendEngine::documentProgressSince(const std::string& countersBefore)
{
    return m_impl->transmission.documentProgressSince(countersBefore);
}

std::string SendEngine::registerSummary(const POSData* pos)
{
    return m_impl->transmission.registerSummary(pos);
}

std::vector<CancelStep> SendEngine::cancelBetweenJobs()
{
    return m_impl->transmission.cancelBetweenJobs();
}

std::string SendEngine::registerErrorText() const
{
    return m_impl->transmission.registerErrorText();
}

std::optional<std::string> SendEngine::unwrittenOutput() const
{
    return m_impl->transmission.unwrittenOutput();
}

} // namespace tavor1

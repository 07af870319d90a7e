#include "app/SendEngine.h"

#include "convert/ReceiptConverter.h"
#include "link/DataDump.h"
#include "link/RegisterConnection.h"
#include "link/RegisterLink.h"
#include "link/RegisterQueries.h"
#include "link/transmission/Transmission.h"
#include "settings/Options.h"
#include "settings/RegisterFacts.h"

#include <QEventLoop>
#include <QTimer>

namespace tavor1 {

namespace {

class ConnectionControl final : public LinkControl {
public:
    ConnectionControl(RegisterConnection& connection, RegisterLink& link, const Options& options)
        : m_connection(connection), m_link(link), m_options(options) {}
    bool connectAndWait() override { return m_connection.ConnectAndWait(m_options.connectionTimeoutSeconds()); }
    bool isConnected() const override { return m_connection.isOpen() && !m_connection.ConnectionLost(); }
    bool isBusy() const override { return m_link.isBusy(); }
    void clearResetRequested() override { m_connection.setResetRequested(false); }

private:
    RegisterConnection& m_connection;
    RegisterLink& m_link;
    const Options& m_options;
};

} // namespace

struct SendEngine::Impl {
    Impl(RegisterLink& link, RegisterConnection& connection, const Options& options, const RegisterFacts& facts,
         std::string dataDir, ExchangeFiles& files, TraceSink& trace, MessageSink& messages, const Clock& clock)
        : control(connection, link, options),
          queries(link, trace, clock),
          transmission(link, control, options, facts, dataDir, files, trace, messages, clock,
                       services(link, options, facts, dataDir, trace, messages, clock))
    {}

    TransmissionServices services(RegisterLink& link, const Options& options, const RegisterFacts& facts,
                                  const std::string& dataDir, TraceSink& trace, MessageSink& messages,
                                  const Clock& clock)
    {
        TransmissionServices s;
        s.convert = [&options, &facts, dataDir, &trace, &messages, &clock](const std::string& path, int channel,
                                                                          ConversionResult& result) {
            ConversionContext ctx;
            ctx.options = options;
            ctx.facts = facts;
            ctx.dataDir = dataDir;
            ctx.channel = channel;
            ctx.trace = &trace;
            ctx.messages = &messages;
            ctx.clock = &clock;
            ctx.pause = [](int ms) {
                QEventLoop loop;
                QTimer::singleShot(ms, &loop, &QEventLoop::quit);
                loop.exec();
            };
            return ConvertRequestFile(path, ctx, result);
        };
        s.dump = [&link](const std::string& fileName) { DumpDataEcr(link, fileName, false); };
        s.readNumeroAzzeramenti = [this] { return queries.ReadNumeroAzzeramenti(); };
        s.readGranTotale = [this] { return queries.ReadGranTotale(); };
        return s;
    }

    ConnectionControl control;
    RegisterQueries queries;
    Transmission transmission;
};

SendEngine::SendEngine(RegisterLink& link, RegisterConnection& connection, const Options& options,
                       const RegisterFacts& facts, std::string dataDir, ExchangeFiles& files, TraceSink& trace,
                       MessageSink& messages, const Clock& clock)
    : m_impl(std::make_unique<Impl>(link, connection, options, facts, std::move(dataDir), files, trace, messages,
                                    clock))
{}

SendEngine::~SendEngine() = default;

std::int16_t SendEngine::send(const std::string& requestPath, int channel, const std::string& outPath,
                              bool testReceiptMode, const POSData* pos)
{
    SendJob job;
    job.channel = channel;
    job.outPath = outPath;
    job.testReceiptMode = testReceiptMode;
    job.pos = pos;
    return m_impl->transmission.DoSendFile(requestPath, job);
}

void SendEngine::cancel()
{
    m_impl->transmission.Annullo_Click();
}

std::string SendEngine::registerErrorText() const
{
    return m_impl->transmission.RegisterErrorText();
}

} // namespace tavor1

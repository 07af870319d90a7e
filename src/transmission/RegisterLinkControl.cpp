#include "transmission/RegisterLinkControl.h"

#include "link/DataDump.h"
#include "link/RegisterConnection.h"
#include "link/RegisterLink.h"
#include "link/RegisterQueries.h"
#include "conversion/language/VatRateTable.h"
#include "settings/Options.h"

#include <memory>

namespace tavor1 {

RegisterLinkControl::RegisterLinkControl(RegisterConnection& connection, RegisterLink& link, const Options& options)
    : m_connection(connection)
    , m_link(link)
    , m_options(options)
{
}

bool RegisterLinkControl::connectAndWait()
{
    return m_connection.connectAndWait(m_options.connectionTimeoutSeconds());
}

bool RegisterLinkControl::isConnected() const
{
    return m_connection.isOpen() && !m_connection.connectionLost();
}

bool RegisterLinkControl::isBusy() const
{
    return m_link.isBusy();
}

void RegisterLinkControl::clearResetRequested()
{
    m_connection.setResetRequested(false);
}

TransmissionServices standardTransmissionServices(RegisterExchange& link, TraceSink& trace, const Clock& clock,
                                                  ConversionSources sources)
{
    TransmissionServices services;
    services.convert = [sources](const std::string& requestPath, int channel, ConversionResult& result) {
        ConversionContext ctx;
        if (sources.options)
            ctx.options = *sources.options;
        if (sources.facts)
            ctx.facts = *sources.facts;
        ctx.dataDir = sources.dataDir;
        ctx.channel = channel;
        ctx.vatRates = sources.vatTable ? sources.vatTable->rates() : sources.vatRates;
        ctx.trace = sources.trace;
        ctx.messages = sources.messages;
        ctx.clock = sources.clock;
        ctx.pause = sources.pause;
        return convertRequestFile(requestPath, ctx, result);
    };
    // The dump writes amounts with the Italian decimal comma, as the host's
    // other figures come.
    services.dump = [&link](const std::string& fileName) { dumpRegisterData(link, fileName, false, ','); };
    auto queries = std::make_shared<RegisterQueries>(link, trace, clock);
    services.readClosingCount = [queries] { return queries->readClosingCount(); };
    services.readGrandTotal = [queries] { return queries->readGrandTotal(); };
    return services;
}

} // namespace tavor1

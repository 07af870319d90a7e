// The transmission end to end below the job: the real converter and register
// link against the register simulator on a free port.

#include "support/Recorders.h"
#include "support/SimulatorLink.h"
#include "support/TempDir.h"

#include "exchange/ExchangeFiles.h"
#include "platform/Clock.h"
#include "platform/Sinks.h"
#include "settings/Options.h"
#include "settings/RegisterFacts.h"
#include "transmission/RegisterLinkControl.h"
#include "transmission/Transmission.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace tavor1 {
namespace {

using test::joined;

using regsim::Fault;
using regsim::FaultMode;

class SimulatorTransmission : public ::testing::Test {
protected:
    SimulatorTransmission()
    {
        ConversionSources sources;
        sources.options = &options;
        sources.facts = &facts;
        sources.dataDir = dir.path();
        sources.messages = &messages;
        sources.clock = &clock;
        tx = std::make_unique<Transmission>(link, control, options, facts, dir.path(), files, trace, messages, clock,
                                            standardTransmissionServices(link, trace, clock, sources),
                                            TransmissionTimings{10, 10, 3});
    }

    // The job's connection is opened first.
    SendResult sendRequest(const std::string& text)
    {
        const std::string request = dir.write("SR_DATI.001", text);
        EXPECT_TRUE(control.connectAndWait());
        SendJob job;
        job.outPath = dir.file("SR_OUT.001");
        return tx->sendRequest(request, job);
    }

    int sent(const std::string& prefix) const
    {
        return static_cast<int>(std::count_if(sim.commands().begin(), sim.commands().end(),
                                              [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
    }

    test::TempDir dir;
    FixedClock clock{LocalDateTime{2026, 12, 5, 14, 30, 12}};
    NullTraceSink trace;
    NullMessageSink messages;
    Options options;
    RegisterFacts facts;
    ExchangeFiles files{dir.path(), clock};
    test::SimulatorLink stack{trace, clock, {}, ExchangeTimings{2000, 1000}};
    regsim::RegisterSimulator& sim = stack.sim;
    RegisterLink& link = stack.link;
    RegisterLinkControl control{stack.connection, link, options};
    std::unique_ptr<Transmission> tx;
};

// A connection lost on a document's last command is settled by the
// register's own counters, whatever kind of document it is.
struct LostReplyCase {
    const char* name;
    const char* request;
    const char* command;
    FaultMode mode;
    SendResult expected;
};

class LostReplyTest : public SimulatorTransmission, public ::testing::WithParamInterface<LostReplyCase> { };

TEST_P(LostReplyTest, IsSettledByTheRegistersCounters)
{
    const LostReplyCase& c = GetParam();
    Fault fault;
    fault.mode = c.mode;
    fault.command = c.command;
    sim.addFault(fault);
    EXPECT_EQ(sendRequest(c.request), c.expected) << joined(sim.commands());
    EXPECT_EQ(sent(c.command), 1) << "the document's last command is never sent again";
}

constexpr const char* kReceipt = "SALE,N1,P1000\r\nCASH,V1000\r\n";
constexpr const char* kInvoice = "OPFS,V12200,A\r\nPRNT,:FATTURA N. 15\r\nCLFS\r\n";

INSTANTIATE_TEST_SUITE_P(
    Transmission, LostReplyTest,
    ::testing::Values(LostReplyCase{"ReceiptClosed", kReceipt, "3011", FaultMode::DropAfterDoing, SendResult::Complete},
                      LostReplyCase{"InvoiceClosed", kInvoice, "4006", FaultMode::DropAfterDoing, SendResult::Complete},
                      LostReplyCase{"InvoiceNotClosed", kInvoice, "4006", FaultMode::DropConnection,
                                    SendResult::ConnectionLost}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1

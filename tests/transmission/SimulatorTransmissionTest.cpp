// The transmission end to end below the job: the real converter and register
// link against the register simulator on a free port.

#include "support/EventLoop.h"
#include "support/Recorders.h"
#include "support/SimulatorLink.h"
#include "support/TempDir.h"

#include "exchange/ExchangeFiles.h"
#include "platform/Clock.h"
#include "platform/Sinks.h"
#include "settings/Options.h"
#include "settings/RegisterFacts.h"
#include "transmission/JobOutcome.h"
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

constexpr const char* kSale = "31011";
constexpr const char* kPayment = "300408";
constexpr const char* kDrawer = "70081";

class SimulatorTransmission : public ::testing::Test {
protected:
    SimulatorTransmission()
    {
        facts.serialNumber = "99SIM000001";
        facts.firmware = "08.06.02";
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

    // One sale paid in cash; the job's connection is opened first.
    SendResult sendReceipt() { return sendRequest("SALE,N1,P1000\r\nCASH,V1000\r\n"); }

    SendResult sendRequest(const std::string& text)
    {
        const std::string request = dir.write("SR_DATI.001", text);
        EXPECT_TRUE(control.connectAndWait());
        SendJob job;
        job.outPath = dir.file("SR_OUT.001");
        return tx->sendRequest(request, job);
    }

    // What the host finds at the end of the job.
    void report(JobResult jobResult)
    {
        dir.write("SR_START.001", "00000000");
        bool running = true;
        JobOutcomeContext ctx;
        ctx.files = &files;
        ctx.channel = 1;
        ctx.registerErrorText = tx->registerErrorText();
        ctx.lastRegisterError = link.lastRegisterError();
        ctx.showStatus = [this](const std::string& line) { status = line; };
        reportJobOutcome(jobResult, ctx, running);
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
    std::string status;
};

// One row per register condition: what the register answers, what the send
// gives, what the job reports and what the host and the window read.
struct ConditionCase {
    const char* name;
    const char* command;   // the command the register answers so
    FaultMode mode;
    const char* code;
    SendResult sendResult;
    JobResult jobResult;
    const char* errLine;   // SR_ERR, empty for none
    const char* statusText;
};

class RegisterConditionTest : public SimulatorTransmission, public ::testing::WithParamInterface<ConditionCase> {};

TEST_P(RegisterConditionTest, ReachesTheHostAsItsOwnResult)
{
    const ConditionCase& c = GetParam();
    Fault fault;
    fault.mode = c.mode;
    fault.command = c.command;
    fault.code = c.code;
    fault.text = "TESTINA GUASTA";
    sim.addFault(fault);

    const SendResult sendResult = sendReceipt();
    EXPECT_EQ(sendResult, c.sendResult) << joined(sim.commands());
    const JobResult jobResult = jobResultForSendResult(sendResult);
    EXPECT_EQ(jobResult, c.jobResult);
    report(jobResult);
    if (std::string(c.errLine).empty()) {
        EXPECT_FALSE(dir.exists("SR_ERR.001"));
    } else {
        EXPECT_EQ(dir.read("SR_ERR.001"), std::string(c.errLine) + "\r\n");
    }
    EXPECT_EQ(status, std::string("TAVOR1 TERMINATO : ") + c.statusText);
    EXPECT_EQ(dir.exists("FINESCO.001"), jobResult == JobResult::Ok);
    // A warning on the last command reaches the host although the receipt
    // was printed: the job reports it as the register's journal state.
    const bool printed = jobResult == JobResult::Ok || c.sendResult == SendResult::JournalExhausted ||
                         c.sendResult == SendResult::JournalNearlyFull;
    EXPECT_EQ(sim.roll().fiscalNumbers().size(), printed ? 1u : 0u) << sim.roll().text();
}

INSTANTIATE_TEST_SUITE_P(
    Transmission, RegisterConditionTest,
    ::testing::Values(
        ConditionCase{"PrintBufferFull", kSale, FaultMode::ErrorReply, "09", SendResult::PrintBufferFull,
                      JobResult::PrintBufferFull, "Fine Buffer di stampa: chiudere manualmente lo scontrino",
                      "BUFFER STAMPA ESAURITO : CHIUDERE SCONTRINO"},
        ConditionCase{"RtDocumentNotFound", kSale, FaultMode::ErrorReply, "12", SendResult::RtDocumentNotFound,
                      JobResult::RtDocumentNotFound, "Errore 12 : Documento RT non trovato non modificabile ",
                      "Errore 12 : Documento RT non trovato non modificabile "},
        ConditionCase{"RegisterNoAnswer", kSale, FaultMode::ErrorReply, "20", SendResult::RegisterNoAnswer,
                      JobResult::NoAnswer, "E504: Nessun messaggio ricevuto: controllare connessione con l'Ecr",
                      "TIMEOUT SCADUTO"},
        ConditionCase{"Nak", kSale, FaultMode::Nak, "", SendResult::NoReply, JobResult::NoAnswer,
                      "E504: Nessun messaggio ricevuto: controllare connessione con l'Ecr", "TIMEOUT SCADUTO"},
        ConditionCase{"ReceiptOpen", kSale, FaultMode::ErrorReply, "21", SendResult::ReceiptOpen,
                      JobResult::ReceiptOpen, "E503: Scontrino aperto, chiudere e riavviare l'esecuzione",
                      "SCONTRINO APERTO"},
        ConditionCase{"NegativeTotal", "3011", FaultMode::ErrorReply, "23", SendResult::NegativeTotal,
                      JobResult::NegativeTotal, "E505: Totale scontrino negativo", "TOTALE SCONTRINO NEGATIVO"},
        ConditionCase{"NegativeVat", "3011", FaultMode::ErrorReply, "29", SendResult::NegativeVat,
                      JobResult::NegativeVat, "Errore 29 : IVA Negativa Documento RT Annullato ",
                      "RILEVATO ERRORE 29 : "},
        ConditionCase{"JournalExhaustedOnTheLastCommand", kDrawer, FaultMode::ErrorReply, "30",
                      SendResult::JournalExhausted, JobResult::JournalExhausted,
                      "E508: Giornale elettronico esaurito : sostituire", "GIORNALE ELETTR. ESAURITO : SOSTITUIRE"},
        ConditionCase{"JournalNearlyFullOnTheLastCommand", kDrawer, FaultMode::ErrorReply, "31",
                      SendResult::JournalNearlyFull, JobResult::JournalNearlyFull,
                      "E507: Giornale elettronico in esaurimento", "GIORNALE ELETTR. IN ESAURIMENTO : SOSTITUIRE"},
        ConditionCase{"JournalNearlyFullOnAMiddleCommand", kSale, FaultMode::ErrorReply, "31", SendResult::Complete,
                      JobResult::Ok, "", "TUTTO OK"},
        ConditionCase{"CoverOpen", kSale, FaultMode::ErrorReply, "37", SendResult::CoverOpen, JobResult::CoverOpen,
                      "E509: Coperchio stampante aperto", "CHIUDERE SPORTELLINO STAMPANTE"},
        ConditionCase{"FiscalMemoryFull", kSale, FaultMode::ErrorReply, "51", SendResult::FiscalMemoryFull,
                      JobResult::FiscalMemoryFull, "E1: MF esaurita : contattare assistenza tecnica", "MF ESAURITA"},
        ConditionCase{"OwnError", kSale, FaultMode::ErrorReply, "99", SendResult::RegisterOwnError,
                      JobResult::RegisterOwnError, "Errore 99: TESTINA GUASTA", "RILEVATO ERRORE 99: TESTINA GUASTA"},
        ConditionCase{"OtherError", kSale, FaultMode::ErrorReply, "45", SendResult::RegisterError,
                      JobResult::RegisterError, "Errore generico sull'Ecr, verificare sul manuale del registratore",
                      "ERRORE GENERICO SU ECR"},
        ConditionCase{"ConnectionLostDuringTheSales", kPayment, FaultMode::DropConnection, "",
                      SendResult::ConnectionLost, JobResult::Network, "E520: Errore di connessione rete",
                      "ERRORE FATALE DI COMUNICAZIONE TRAMITE SOCKET"},
        ConditionCase{"ConnectionLostAfterTheClosing", kDrawer, FaultMode::DropConnection, "", SendResult::Complete,
                      JobResult::Ok, "", "TUTTO OK"}),
    [](const auto& info) { return std::string(info.param.name); });

// An invoice whose closing reply is lost is settled by the register's
// invoice counter, which a receipt's check would miss.
class LostInvoiceReplyTest : public SimulatorTransmission, public ::testing::WithParamInterface<FaultMode> { };

TEST_P(LostInvoiceReplyTest, IsSettledByTheRegistersCounters)
{
    Fault fault;
    fault.mode = GetParam();
    fault.command = "4006";
    sim.addFault(fault);
    const SendResult expected =
        GetParam() == FaultMode::DropAfterDoing ? SendResult::Complete : SendResult::ConnectionLost;
    EXPECT_EQ(sendRequest("OPFS,V12200,A\r\nPRNT,:FATTURA N. 15\r\nCLFS\r\n"), expected) << joined(sim.commands());
    EXPECT_EQ(sent("4006"), 1) << "the invoice's closing is never sent again";
}

INSTANTIATE_TEST_SUITE_P(Transmission, LostInvoiceReplyTest,
                         ::testing::Values(FaultMode::DropAfterDoing, FaultMode::DropConnection), [](const auto& info) {
                             return std::string(info.param == FaultMode::DropAfterDoing ? "Closed" : "NotClosed");
                         });

} // namespace
} // namespace tavor1

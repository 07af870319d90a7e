// The end of a job: result texts and the exchange files the host sees.

#include "support/TempDir.h"

#include "exchange/ExchangeFiles.h"
#include "transmission/JobOutcome.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

class ReportJobOutcomeTest : public ::testing::Test {
protected:
    void startJob()
    {
        dir.write("SR_START.001", "x");
        dir.write("SR_DATI.001", "SALE,N1,P100\r\n");
        jobRunning = true;
    }
    JobOutcomeContext context()
    {
        JobOutcomeContext ctx;
        ctx.files = &files;
        ctx.channel = 1;
        ctx.showStatus = [this](const std::string& line) { statusLines.push_back(line); };
        return ctx;
    }

    test::TempDir dir;
    FixedClock clock{LocalDateTime{2026, 12, 5, 14, 30, 0}};
    ExchangeFiles files{dir.path(), clock};
    bool jobRunning = false;
    std::vector<std::string> statusLines;
};

TEST_F(ReportJobOutcomeTest, FailureKeepsTheRequestAndWritesOneLine)
{
    startJob();
    JobOutcomeContext ctx = context();
    ctx.registerErrorText = "STAMPANTE GUASTA";
    ctx.lastRegisterError = "99";
    EXPECT_TRUE(ReportJobOutcome(job::RegisterOwnError, ctx, jobRunning));
    EXPECT_EQ(dir.read("SR_ERR.001"), "Errore 99: STAMPANTE GUASTA : ERRORE 99\r\n");
    EXPECT_TRUE(dir.exists("SR_DATI.001"));
    EXPECT_FALSE(dir.exists("SR_START.001"));
    EXPECT_FALSE(dir.exists("FINESCO.001"));
    EXPECT_EQ(statusLines, std::vector<std::string>{"TAVOR1 TERMINATO : RILEVATO ERRORE 99: STAMPANTE GUASTA"});
}

// The results no register condition gives (those are one row each of the
// simulator's table in SimulatorTransmissionTest): the driver's own failures,
// the card payment's, and codes no row speaks of.
struct OutcomeRow {
    const char* name;
    std::int16_t sendResult; // kNotSent: the job ends before any send
    std::int16_t jobResult;
    const char* errorText; // SR_ERR, empty for a successful job
    const char* statusText; // after "TAVOR1 TERMINATO : "
};

constexpr std::int16_t kNotSent = -1;

class JobOutcomeTexts : public ::testing::TestWithParam<OutcomeRow> { };

TEST_P(JobOutcomeTexts, AreTheHostsAndTheWindows)
{
    const OutcomeRow& row = GetParam();
    if (row.sendResult != kNotSent) {
        EXPECT_EQ(JobResultForSendResult(row.sendResult), row.jobResult);
    }
    if (row.jobResult != job::Ok) {
        EXPECT_EQ(JobErrorText(row.jobResult, ""), row.errorText);
    }
    EXPECT_EQ(JobStatusLine(row.jobResult, ""), std::string("TAVOR1 TERMINATO : ") + row.statusText);
}

constexpr const char* kGeneric = "Errore generico sull'Ecr, verificare sul manuale del registratore";

INSTANTIATE_TEST_SUITE_P(
    Results, JobOutcomeTexts,
    ::testing::Values(
        OutcomeRow{"CodeNoRowSpeaksOf", 42, job::Ok, "", "TUTTO OK"},
        OutcomeRow{"ResultWithoutATextOfItsOwn", kNotSent, -6, kGeneric, "ERRORE GENERICO SU ECR"},
        OutcomeRow{"RequestVanished", kNotSent, job::RequestVanished,
                   "E506: Trasmissione non avvenuta: file di input non presente", "FILE SR_DATI NON PRESENTE"},
        OutcomeRow{"ConversionFailed", send::ConversionFailed, job::ConversionFailed,
                   "E502: Conversione non riuscita: verificare il file SR_DATI", "CONVERSIONE NON RIUSCITA"},
        OutcomeRow{"OutputUnavailable", send::OutputUnavailable, job::OutputUnavailable,
                   "E510: File SR_OUT non scrivibile: documento non stampato", "FILE SR_OUT NON SCRIVIBILE"},
        OutcomeRow{"CancelledByOperator", send::CancelledByOperator, job::CancelledByOperator,
                   "E511: Documento annullato dall'operatore", "DOCUMENTO ANNULLATO DALL'OPERATORE"},
        OutcomeRow{"PaymentTimedOut", kNotSent, -200, "E601: Trasmissione POS interrotta: timeout ricevuto",
                   "E601: Trasmissione POS interrotta: timeout ricevuto"},
        OutcomeRow{"PaymentServiceError", kNotSent, -201, "E602:  Ricevuto errore dal servizio",
                   "E602:  Ricevuto errore dal servizio"},
        OutcomeRow{"PaymentDeclined", kNotSent, -202, "E603: TRANSAZIONE ANNULLATA  DAL TERMINALE POS",
                   "E603: TRANSAZIONE ANNULLATA  DAL TERMINALE POS"},
        OutcomeRow{"PaymentServiceUnreachable", kNotSent, -203,
                   "E604: A connection with the server could not be established",
                   "E604: A connection with the server could not be established"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1

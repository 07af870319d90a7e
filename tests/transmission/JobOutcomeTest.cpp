// The end of a job: result texts and the exchange files the host sees.

#include "support/TempDir.h"

#include "exchange/ExchangeFiles.h"
#include "platform/Clock.h"
#include "protocol/ExchangeResult.h"
#include "transmission/JobOutcome.h"

#include <gtest/gtest.h>

#include <optional>

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
    EXPECT_TRUE(reportJobOutcome(JobResult::RegisterOwnError, ctx, jobRunning));
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
    std::optional<SendResult> sendResult; // none: the job ends before any send
    JobResult jobResult;
    const char* errorText; // SR_ERR, empty for a successful job
    const char* statusText; // after "TAVOR1 TERMINATO : "
};

constexpr std::optional<SendResult> kNotSent;
constexpr JobResult numbered(std::int16_t number)
{
    return codeFromNumber<JobResult>(number);
}

class JobOutcomeTexts : public ::testing::TestWithParam<OutcomeRow> { };

TEST_P(JobOutcomeTexts, AreTheHostsAndTheWindows)
{
    const OutcomeRow& row = GetParam();
    if (row.sendResult) {
        EXPECT_EQ(jobResultForSendResult(*row.sendResult), row.jobResult);
    }
    if (row.jobResult != JobResult::Ok) {
        EXPECT_EQ(jobErrorText(row.jobResult, ""), row.errorText);
    }
    EXPECT_EQ(jobStatusLine(row.jobResult, ""), std::string("TAVOR1 TERMINATO : ") + row.statusText);
}

constexpr const char* kGeneric = "Errore generico sull'Ecr, verificare sul manuale del registratore";

INSTANTIATE_TEST_SUITE_P(
    Results, JobOutcomeTexts,
    ::testing::Values(
        OutcomeRow{"CodeNoRowSpeaksOf", codeFromNumber<SendResult>(42), JobResult::Ok, "", "TUTTO OK"},
        OutcomeRow{"ResultWithoutATextOfItsOwn", kNotSent, numbered(-6), kGeneric, "ERRORE GENERICO SU ECR"},
        OutcomeRow{"RequestVanished", kNotSent, JobResult::RequestVanished,
                   "E506: Trasmissione non avvenuta: file di input non presente", "FILE SR_DATI NON PRESENTE"},
        OutcomeRow{"ConversionFailed", SendResult::ConversionFailed, JobResult::ConversionFailed,
                   "E502: Conversione non riuscita: verificare il file SR_DATI", "CONVERSIONE NON RIUSCITA"},
        OutcomeRow{"OutputUnavailable", SendResult::OutputUnavailable, JobResult::OutputUnavailable,
                   "E510: File SR_OUT non scrivibile: documento non stampato", "FILE SR_OUT NON SCRIVIBILE"},
        OutcomeRow{"CancelledByOperator", SendResult::CancelledByOperator, JobResult::CancelledByOperator,
                   "E511: Documento annullato dall'operatore", "DOCUMENTO ANNULLATO DALL'OPERATORE"},
        OutcomeRow{"PaymentTimedOut", kNotSent, numbered(-200), "E601: Trasmissione POS interrotta: timeout ricevuto",
                   "E601: Trasmissione POS interrotta: timeout ricevuto"},
        OutcomeRow{"PaymentServiceError", kNotSent, numbered(-201), "E602:  Ricevuto errore dal servizio",
                   "E602:  Ricevuto errore dal servizio"},
        OutcomeRow{"PaymentDeclined", kNotSent, numbered(-202), "E603: TRANSAZIONE ANNULLATA  DAL TERMINALE POS",
                   "E603: TRANSAZIONE ANNULLATA  DAL TERMINALE POS"},
        OutcomeRow{"PaymentServiceUnreachable", kNotSent, numbered(-203),
                   "E604: A connection with the server could not be established",
                   "E604: A connection with the server could not be established"}),
    [](const auto& info) { return std::string(info.param.name); });

// The numbers of every result space are those the journal, SR_ERR, the trace
// and LOGFILE.TXT carry: older journals are read back by them.
struct CodeNumberRow {
    const char* name;
    std::int16_t number;
    std::int16_t expected;
};

class ResultCodeNumbers : public ::testing::TestWithParam<CodeNumberRow> { };

TEST_P(ResultCodeNumbers, StayAsWritten)
{
    EXPECT_EQ(GetParam().number, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ResultCodeNumbers,
    ::testing::Values(
        CodeNumberRow{"ExchangeNoReply", codeNumber(ExchangeResult::NoReply), 1},
        CodeNumberRow{"ExchangeSocketFailure", codeNumber(ExchangeResult::SocketFailure), -20},
        CodeNumberRow{"ExchangePaperEnd", codeNumber(ExchangeResult::PaperEnd), -4},
        CodeNumberRow{"ExchangeRegisterOwnError", codeNumber(ExchangeResult::RegisterOwnError), -99},
        CodeNumberRow{"SendConnectionLost", codeNumber(SendResult::ConnectionLost), 20},
        CodeNumberRow{"SendRegisterOwnError", codeNumber(SendResult::RegisterOwnError), 99},
        CodeNumberRow{"JobReceiptOpen", codeNumber(JobResult::ReceiptOpen), -2},
        CodeNumberRow{"JobNetwork", codeNumber(JobResult::Network), -20},
        CodeNumberRow{"JobRequestVanished", codeNumber(JobResult::RequestVanished), -100},
        CodeNumberRow{"JobCancelledByOperator", codeNumber(JobResult::CancelledByOperator), -103},
        CodeNumberRow{"PaymentTimedOut", codeNumber(PaymentResult::TimedOut), -200},
        CodeNumberRow{"PaymentUnreachable", codeNumber(PaymentResult::Unreachable), -203},
        // A refused payment reaches the host with its own number.
        CodeNumberRow{"JobOfPaymentTimedOut", codeNumber(JobResultForPayment(PaymentResult::TimedOut)), -200},
        CodeNumberRow{"JobOfPaymentServiceError", codeNumber(JobResultForPayment(PaymentResult::ServiceError)), -201},
        CodeNumberRow{"JobOfPaymentDeclined", codeNumber(JobResultForPayment(PaymentResult::Declined)), -202},
        CodeNumberRow{"JobOfPaymentUnreachable", codeNumber(JobResultForPayment(PaymentResult::Unreachable)), -203},
        CodeNumberRow{"JobOfPaymentOk", codeNumber(JobResultForPayment(PaymentResult::Ok)), 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1

// The end of a job: result texts and the exchange files the host sees.

#include "support/TempDir.h"

#include "exchange/ExchangeFiles.h"
#include "platform/Clock.h"
#include "protocol/ExchangeResult.h"
#include "transmission/JobOutcome.h"

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
    EXPECT_TRUE(ReportJobOutcome(JobResult::RegisterOwnError, ctx, jobRunning));
    EXPECT_EQ(dir.read("SR_ERR.001"), "Errore 99: STAMPANTE GUASTA : ERRORE 99\r\n");
    EXPECT_TRUE(dir.exists("SR_DATI.001"));
    EXPECT_FALSE(dir.exists("SR_START.001"));
    EXPECT_FALSE(dir.exists("FINESCO.001"));
    EXPECT_EQ(statusLines, std::vector<std::string>{"TAVOR1 TERMINATO : RILEVATO ERRORE 99: STAMPANTE GUASTA"});
}

// The job results with no text of their own, and the driver's own failures.
TEST(JobOutcomeTexts, ResultsWithoutATextOfTheirOwnAreGeneric)
{
    EXPECT_EQ(JobErrorText(codeFromNumber<JobResult>(-6), ""),
              "Errore generico sull'Ecr, verificare sul manuale del registratore");
    EXPECT_EQ(JobStatusLine(codeFromNumber<JobResult>(-6), ""), "TAVOR1 TERMINATO : ERRORE GENERICO SU ECR");
    EXPECT_EQ(JobErrorText(JobResult::RequestVanished, ""),
              "E506: Trasmissione non avvenuta: file di input non presente");
    EXPECT_EQ(JobErrorText(JobResult::ConversionFailed, ""),
              "E502: Conversione non riuscita: verificare il file SR_DATI");
    EXPECT_EQ(JobResultForSendResult(codeFromNumber<SendResult>(42)), JobResult::Ok) << "codes no row speaks of";
    EXPECT_EQ(JobErrorText(JobResultForPayment(PaymentResult::Declined), ""),
              "E603: TRANSAZIONE ANNULLATA  DAL TERMINALE POS");
    EXPECT_EQ(JobStatusText(JobResultForPayment(PaymentResult::ServiceError), ""),
              "E602:  Ricevuto errore dal servizio");
}

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

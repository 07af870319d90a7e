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

} // namespace
} // namespace tavor1

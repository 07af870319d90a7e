// One sale, one charge: a card approval whose document failed pays the retry
// of the same request, and only that. The headless driver runs as a shop
// runs it, against a register simulator and a payment service simulator
// inside the test (loopback, free ports); the payment simulator counts the
// charges.

#include "DriverProcess.h"

#include "exchange/ApprovalReuse.h"
#include "exchange/JobJournal.h"
#include "platform/ByteFiles.h"

#include <filesystem>

namespace tavor1 {
namespace {

using regsim::FaultMode;

const std::string kCardSale = "PAGA,V1250,P2\r\nSALE,N1,P1250\r\nCARD,V1250\r\n";
constexpr const char* kCoverOpen = "E509: Coperchio stampante aperto\r\n";

class CardApprovalTest : public test::DriverProcess {
protected:
    // The host's retry: it has read SR_ERR and SR_OUT, removes them, and
    // creates SR_START again beside the SR_DATI it left as it was.
    void retry()
    {
        removeFile(file(ExchangeFile::SR_ERR));
        removeFile(file(ExchangeFile::SR_OUT));
        ASSERT_TRUE(writeFileBytes(file(ExchangeFile::SR_START), "00000000\r\n"));
    }

    // A sale charged on channel 1 whose document failed, its first sale
    // line refused with "ERR" 37, cover open: SR_ERR is the one coded line,
    // SR_OUT carries the approval.
    void failedCardSale()
    {
        sim.failCommand("3101", regsim::err::CoverOpen);
        submit(kCardSale);
        ASSERT_TRUE(waitFor([&] { return answered(); }));
        ASSERT_EQ(read(ExchangeFile::SR_ERR), kCoverOpen);
        ASSERT_NE(read(ExchangeFile::SR_OUT).find("AuthorizationCode : A1B2C3"), std::string::npos)
            << read(ExchangeFile::SR_OUT);
        ASSERT_EQ(pay.requests().size(), 1u);
    }

    void expectPrinted()
    {
        ASSERT_TRUE(waitFor([&] { return answered(); }));
        EXPECT_EQ(read(ExchangeFile::FINESCO), "finesco") << read(ExchangeFile::SR_ERR);
        EXPECT_NE(read(ExchangeFile::SR_OUT).find("AuthorizationCode : A1B2C3"), std::string::npos);
    }

    // The files of the payment log folders whose names begin with prefix.
    int paymentLogs(const std::string& prefix) const
    {
        int n = 0;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dataDir))
            if (e.path().parent_path().filename().string().rfind("LOG-PAGAME-", 0) == 0 &&
                e.path().filename().string().rfind(prefix, 0) == 0)
                ++n;
        return n;
    }

    std::vector<std::string> notUsed() const
    {
        std::vector<std::string> out;
        for (const std::string& line : approvalHistoryLines(JobJournal::read(dataDir)))
            if (line.rfind(kNotUsedHistoryPrefix, 0) == 0)
                out.push_back(line);
        return out;
    }
};

TEST_F(CardApprovalTest, TheRetryOfTheSameFileIsPaidWithTheApprovalItHas)
{
    startReady();
    failedCardSale();

    retry();
    expectPrinted();
    EXPECT_EQ(pay.requests().size(), 1u) << "charged twice";
    EXPECT_EQ(receipts(), 1);
    // The slip prints as for a fresh approval.
    const auto& docs = sim.roll().documents();
    ASSERT_FALSE(docs.empty());
    EXPECT_NE(docs.back().text().find("AuthorizationCode : A1B2C3"), std::string::npos) << docs.back().text();
    EXPECT_NE(logFile().find("Approvazione POS riusata dal lavoro 2 canale 1"), std::string::npos) << logFile();
    EXPECT_EQ(paymentLogs("RIUSO-"), 1);
    EXPECT_TRUE(notUsed().empty());
    EXPECT_TRUE(openApprovals(JobJournal::read(dataDir)).empty());
}

TEST_F(CardApprovalTest, AfterTheBoundTheRetryIsChargedAgainAndTheApprovalIsListedAsNotUsed)
{
    // 0 minutes: every retry comes after the bound.
    startReady({"--approval-reuse-minutes", "0"});
    failedCardSale();

    retry();
    expectPrinted();
    EXPECT_EQ(pay.requests().size(), 2u);
    const std::vector<std::string> lines = notUsed();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("lavoro 1 canale 1: importo 12,50 EUR, aut. A1B2C3"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(kNotUsedExpired), std::string::npos) << lines[0];

    // tavor1 history lists it for the shop.
    const test::CommandRun history = tavor1({"history", "--data-dir", QString::fromStdString(dataDir)});
    EXPECT_EQ(history.exitCode, 0) << history.err;
    EXPECT_NE(history.out.find(lines[0]), std::string::npos) << history.out;
}

// The register holds back its reply to the sale line; the driver is killed
// while it waits, after the approval and before the document ends. The
// settlement keeps the request and its approval, and so does a start-up
// before the host's retry.
TEST_F(CardApprovalTest, AnApprovalTakenBeforeACrashPaysTheRetryAfterAnyRestart)
{
    startReady();
    addFault(FaultMode::Silence, "3101");
    submit(kCardSale);
    ASSERT_TRUE(waitFor([&] { return count("3101") > 0; }));
    ASSERT_EQ(pay.requests().size(), 1u);
    kill();

    start();
    ASSERT_TRUE(waitFor([&] { return answered(); }));
    EXPECT_EQ(read(ExchangeFile::SR_DATI), kCardSale) << "kept for the host to send again";
    EXPECT_NE(read(ExchangeFile::SR_OUT).find("AuthorizationCode : A1B2C3"), std::string::npos)
        << "the settlement reports the approval";
    EXPECT_EQ(receipts(), 0);
    waitReady();
    kill();

    startReady();
    ASSERT_EQ(read(ExchangeFile::SR_DATI), kCardSale);
    retry();
    expectPrinted();
    EXPECT_EQ(pay.requests().size(), 1u) << "charged twice";
    EXPECT_EQ(receipts(), 1);
    EXPECT_TRUE(notUsed().empty());
}

TEST_F(CardApprovalTest, APaymentServiceSlowerThanThePaymentTimeoutFailsTheJob)
{
    // Far slower than the bound given, far quicker than the default 300 s.
    pay.setOutcome(paysim::Outcome::Slow, 60000);
    startReady({"--payment-timeout", "1"});
    submit(kCardSale);
    ASSERT_TRUE(waitFor([&] { return answered(); }, 30000));
    EXPECT_EQ(read(ExchangeFile::SR_ERR), "E601: Trasmissione POS interrotta: timeout ricevuto\r\n");
    EXPECT_EQ(receipts(), 0);
}

// The link drops in the middle of the payment outcome slip: the receipt is
// printed and reported so, the slip the driver left open is closed while it
// sits idle, and the next job prints instead of failing with E503.
TEST_F(CardApprovalTest, ASlipCutShortByALostLinkIsClosedAndTheReceiptStaysPrinted)
{
    startReady();
    addFault(FaultMode::DropConnection, "4003120");
    submit(kCardSale);
    expectPrinted();
    EXPECT_EQ(receipts(), 1);
    EXPECT_TRUE(waitFor([&] { return sim.model().documentState() == regsim::DocumentState::Idle; }))
        << "the slip is still open with no job to come";

    EXPECT_EQ(job("SALE,N1,P300\r\nCASH,V300\r\n"), "finesco");
    EXPECT_EQ(receipts(), 2);
    EXPECT_EQ(sim.model().documentState(), regsim::DocumentState::Idle);
    EXPECT_EQ(pay.requests().size(), 1u);
    EXPECT_NE(logFile().find("annullato"), std::string::npos) << logFile();
}

} // namespace
} // namespace tavor1

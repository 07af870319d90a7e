// The headless driver as a shop runs it, started as a subprocess against a
// register simulator inside the test (loopback, free port).

#include "DriverProcess.h"

#include "platform/ByteFiles.h"
#include "platform/qt/Wait.h"

#include <QDeadlineTimer>

#include <filesystem>

namespace tavor1 {
namespace {

using DriverEndToEnd = test::DriverProcess;

const std::string kReceipt = "PLUD,N1,P250,Q2,:PANE COMUNE\r\nSALE,N2,P1000\r\nCASH,V1500\r\n";

TEST_F(DriverEndToEnd, IdentifiesTheRegisterAndServesAReceipt)
{
    startReady();
    EXPECT_EQ(read(ExchangeFile::SR_MATR).substr(0, 13), "99SIM000001\r\n");

    EXPECT_EQ(job(kReceipt), "finesco");
    EXPECT_NE(read(ExchangeFile::SR_OUT).find("SCONTR. N."), std::string::npos) << read(ExchangeFile::SR_OUT);
    EXPECT_FALSE(has(ExchangeFile::SR_DATI));
    EXPECT_FALSE(has(ExchangeFile::SR_START));
    EXPECT_FALSE(has(ExchangeFile::SR_ERR));
    pauseFor(300);
    EXPECT_EQ(receipts(), 1) << sim.roll().text();
}

TEST_F(DriverEndToEnd, ACardPaidReceiptReportsThePaymentInSrOutAndPrintsItsSlip)
{
    pay.setOutcome(paysim::Outcome::Approved);
    startReady();
    EXPECT_EQ(job("PAGA,V1830,P0\r\nPLUD,N1,P1500,:MAGLIETTA\r\nPLUD,N2,P330,:CALZINI\r\nCARD,V1830\r\n"), "finesco");
    ASSERT_EQ(pay.requests().size(), 1u);
    EXPECT_EQ(pay.requests()[0].path, "/WebKalidorWS/api/Payment/1830");
    const std::string out = read(ExchangeFile::SR_OUT);
    EXPECT_NE(out.find("SCONTR. N.0001-0001"), std::string::npos) << out;
    EXPECT_NE(out.find(" \r\n* ACQUISTO CON POS *\r\nCOMANDO : PAGA\r\nESITO : 00\r\nIMPORTO EUR 1830\r\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("AuthorizationCode : A1B2C3\r\n"), std::string::npos) << out;

    pauseFor(300);
    ASSERT_EQ(receipts(), 1) << sim.roll().text();
    ASSERT_EQ(sim.roll().count(regsim::DocumentKind::NonFiscal), 1) << sim.roll().text();
    const std::string slip = sim.roll().documents().back().text();
    EXPECT_NE(slip.find("IMPORTO EUR           18,30"), std::string::npos) << slip;
}

TEST_F(DriverEndToEnd, TheShopsVatTableReachesTheInvoiceRewriting)
{
    // 19 % is not among the default rates: only the table of TVVALIVA.txt has it.
    writeFileBytes(joinPath(configDir.path(), "TVVALIVA.txt"), "400\r\n1000\r\n2200\r\n1900\r\n");
    otherOptions += "0\r\n0\r\n"; // fiscal input: invoices are rewritten into receipts
    startReady();
    // With the default table the 19 % article would stop the rewriting.
    EXPECT_EQ(job("OPFS;\r\nPLUD,:B,P100,I1900;\r\nCASH;\r\n"), "finesco");
    EXPECT_NE(commandsSent().find("IVA D=19,00%"), std::string::npos) << commandsSent();
}

TEST_F(DriverEndToEnd, ClosingDuringAJobEndsItsWaitAndLeavesItsFiles)
{
    startReady();
    addFault(regsim::FaultMode::Silence, "3101", -1);
    submit(kReceipt);
    ASSERT_TRUE(waitFor([&] { return count("3101") > 0; }));
    QDeadlineTimer limit(6000);
    EXPECT_EQ(terminate(), 0);
    EXPECT_FALSE(limit.hasExpired()) << "the job's reply wait did not end";
    EXPECT_TRUE(has(ExchangeFile::SR_START));
    EXPECT_TRUE(has(ExchangeFile::SR_DATI));
    EXPECT_FALSE(has(ExchangeFile::FINESCO));
    EXPECT_FALSE(has(ExchangeFile::SR_ERR));
}

// Every signal a service manager or a closed terminal sends ends the driver
// through the closing sequence: the channel's files are cleared but for a
// request, and the options are saved.
class ClosingSignal : public DriverEndToEnd, public ::testing::WithParamInterface<int> { };

TEST_P(ClosingSignal, RunsTheClosingSequenceAndExitsZero)
{
    startReady();
    writeFileBytes(file(ExchangeFile::SR_DATI), kReceipt);
    writeFileBytes(file(ExchangeFile::SR_ERR), "old\r\n");
    EXPECT_EQ(terminate(GetParam()), 0);
    EXPECT_TRUE(has(ExchangeFile::SR_DATI));
    EXPECT_FALSE(has(ExchangeFile::SR_MATR));
    EXPECT_FALSE(has(ExchangeFile::SR_ERR));
    EXPECT_TRUE(fileExists(joinPath(configDir.path(), "TVTIMER1.TXT"))) << "the options were not saved";
}

INSTANTIATE_TEST_SUITE_P(
    Signals, ClosingSignal, ::testing::Values(SIGTERM, SIGHUP, SIGINT), [](const ::testing::TestParamInfo<int>& info) {
        return std::string(info.param == SIGHUP ? "SIGHUP" : info.param == SIGINT ? "SIGINT" : "SIGTERM");
    });

TEST_F(DriverEndToEnd, ASecondDriverIsRefusedAtStartAndAfterTheDataDirectoryIsMadeAgain)
{
    startReady();
    auto secondDriverExit = [&] {
        const int exitCode = tavor1(QStringList{"--headless"} + dirs()).exitCode;
        EXPECT_EQ(driver.state(), QProcess::Running);
        return exitCode;
    };
    EXPECT_EQ(secondDriverExit(), 3);
    // The running driver may write into the folder while it is removed.
    ASSERT_TRUE(waitFor([&] {
        std::error_code ec;
        std::filesystem::remove_all(dataDir, ec);
        return !std::filesystem::exists(dataDir);
    }));
    makeDirectory(dataDir);
    ASSERT_TRUE(waitFor([&] { return logFile().find("tavor1.lock ripreso") != std::string::npos; }, 10000));
    waitReady();

    EXPECT_EQ(secondDriverExit(), 3);
    EXPECT_EQ(job(kReceipt), "finesco");
}

TEST_F(DriverEndToEnd, TheHostStandInReportsSuccessFailureAndTimeOut)
{
    start();
    auto host = [&](const QStringList& args) {
        return test::runCommand(QStringLiteral(TAVOR1_HOST_BIN), args).exitCode;
    };
    const QString dir = QString::fromStdString(dataDir);
    EXPECT_EQ(host({"wait-ready", "--data-dir", dir, "--channel", "1", "--timeout", "8"}), 0);
    const std::string good = base.write("good.txt", kReceipt);
    const std::string bad = base.write("bad.txt", "SALE,N1,P100\r\nSALE,N1,P500,R\r\nCASH\r\n");
    EXPECT_EQ(host({"submit", "--data-dir", dir, "--channel", "1", QString::fromStdString(good)}), 0);
    EXPECT_EQ(host({"submit", "--data-dir", dir, "--channel", "1", QString::fromStdString(bad)}), 1);
    EXPECT_EQ(host({"submit", "--data-dir", dir, "--channel", "2", QString::fromStdString(good), "--timeout", "0.3"}), 2);
}

} // namespace
} // namespace tavor1

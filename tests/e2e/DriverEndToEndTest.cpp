// The headless driver as a shop runs it, started as a subprocess against a
// register simulator inside the test (loopback, free port).

#include "DriverProcess.h"

#include "platform/ByteFiles.h"
#include "platform/qt/Wait.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <filesystem>

#include <unistd.h>

namespace tavor1 {
namespace {

class DriverEndToEnd : public test::DriverProcess {
protected:
    int documents() const { return sim.roll().documentCount(); }

    void startWithPayments(paysim::Outcome outcome)
    {
        pay.setOutcome(outcome);
        start();
    }

    // Another driver started on the same folders.
    void startSecond(QProcess& second, const QStringList& extra = {})
    {
        second.start(test::kTavor1, QStringList{"--headless", "--data-dir", QString::fromStdString(dataDir),
                                                "--config-dir", QString::fromStdString(configDir.path())} +
                                        extra);
    }

    std::vector<std::string> lines(ExchangeFile f) const
    {
        std::vector<std::string> out;
        const std::string text = read(f);
        for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
            out.push_back(text.substr(at, end - at));
        return out;
    }
};

const std::string kReceipt = "PLUD,N1,P250,Q2,:PANE COMUNE\r\nSALE,N2,P1000\r\nCASH,V1500\r\n";

TEST_F(DriverEndToEnd, IdentifiesTheRegisterAndServesAReceipt)
{
    startReady();
    EXPECT_EQ(read(ExchangeFile::SR_MATR).substr(0, 13), "99SIM000001\r\n");

    submit(kReceipt);
    ASSERT_TRUE(waitFor([&] { return answered(); }));
    EXPECT_EQ(read(ExchangeFile::FINESCO), "finesco");
    EXPECT_NE(read(ExchangeFile::SR_OUT).find("SCONTR. N."), std::string::npos) << read(ExchangeFile::SR_OUT);
    EXPECT_FALSE(has(ExchangeFile::SR_DATI));
    EXPECT_FALSE(has(ExchangeFile::SR_START));
    EXPECT_FALSE(has(ExchangeFile::SR_ERR));
    pauseFor(300);
    EXPECT_EQ(sim.roll().fiscalNumbers().size(), 1u) << sim.roll().text();
}

const std::string kCardReceipt =
    "PAGA,V1830,P0\r\nPLUD,N1,P1500,:MAGLIETTA\r\nPLUD,N2,P330,:CALZINI\r\nCARD,V1830\r\n";

TEST_F(DriverEndToEnd, ACardPaidReceiptReportsThePaymentInSrOutAndPrintsItsSlip)
{
    startWithPayments(paysim::Outcome::Approved);
    waitReady();
    submit(kCardReceipt);
    ASSERT_TRUE(waitFor([&] { return answered(); }, 15000));
    EXPECT_EQ(read(ExchangeFile::FINESCO), "finesco") << read(ExchangeFile::SR_ERR);
    ASSERT_EQ(pay.requests().size(), 1u);
    EXPECT_EQ(pay.requests()[0].path, "/WebKalidorWS/api/Payment/1830");

    const std::vector<std::string> out = lines(ExchangeFile::SR_OUT);
    const auto heading = std::find(out.begin(), out.end(), "* ACQUISTO CON POS *");
    ASSERT_NE(heading, out.begin()) << read(ExchangeFile::SR_OUT);
    ASSERT_NE(heading, out.end()) << read(ExchangeFile::SR_OUT);
    EXPECT_EQ(*(heading - 1), " ");
    const std::vector<std::string> block(heading + 1, out.end());
    const std::vector<std::string> expected = {
        "COMANDO : PAGA", "ESITO : 00", "IMPORTO EUR 1830", "DATA  : 05/12/2026 14:30:12",
        "DESCR. ERR       : ", "DESCR. ERR AGGI. : ", "TerminalId : 12345678", "AcquirerId : 00000000001",
        "TransactionType : PAGAMENTO", "TransactionResult : 00", "KODescription : ", "CardType : VISA",
        "STAN : 000123", " PAN : ************1234", "AuthorizationCode : A1B2C3", "OperationNumber : 000045",
        "DataTrs : 05/12/2026 14:30:12"};
    EXPECT_EQ(block, expected) << read(ExchangeFile::SR_OUT);
    EXPECT_EQ(out.at(1).rfind("DATE,", 0), 0u);
    EXPECT_NE(out.at(1).find("  SCONTR. N.0001-0001,E,A1;"), std::string::npos) << out.at(1);

    pauseFor(300);
    ASSERT_EQ(sim.roll().fiscalNumbers().size(), 1u) << sim.roll().text();
    ASSERT_EQ(sim.roll().count(regsim::DocumentKind::NonFiscal), 1) << sim.roll().text();
    const std::string slip = sim.roll().documents().back().text();
    EXPECT_NE(slip.find("IMPORTO EUR           18,30"), std::string::npos) << slip;
    EXPECT_NE(slip.find("AuthorizationCode : A1B2C3"), std::string::npos) << slip;
}

TEST_F(DriverEndToEnd, ADeclinedCardPaymentPrintsOnlyItsSlipAndKeepsTheRequest)
{
    startWithPayments(paysim::Outcome::Declined);
    waitReady();
    submit(kCardReceipt);
    ASSERT_TRUE(waitFor([&] { return answered(); }, 15000));
    EXPECT_EQ(read(ExchangeFile::SR_ERR), "E603: TRANSAZIONE ANNULLATA  DAL TERMINALE POS\r\n");
    EXPECT_FALSE(has(ExchangeFile::FINESCO));
    EXPECT_FALSE(has(ExchangeFile::SR_START));
    EXPECT_EQ(read(ExchangeFile::SR_DATI), kCardReceipt);
    EXPECT_EQ(pay.requests().size(), 1u);

    pauseFor(300);
    ASSERT_EQ(documents(), 1) << sim.roll().text();
    const regsim::PrintedDocument& slip = sim.roll().documents().front();
    EXPECT_EQ(slip.kind, regsim::DocumentKind::NonFiscal);
    EXPECT_NE(slip.text().find("ESITO : 05"), std::string::npos) << slip.text();
    EXPECT_NE(slip.text().find("KODescription : CARTA RIFIUTATA"), std::string::npos) << slip.text();
    EXPECT_EQ(count("3101"), 0);
}

TEST_F(DriverEndToEnd, TheShopsVatTableReachesTheInvoiceRewriting)
{
    // 19 % is not among the default rates: only the table of TVVALIVA.txt has it.
    writeFileBytes(joinPath(configDir.path(), "TVVALIVA.txt"), "400\r\n1000\r\n2200\r\n1900\r\n");
    otherOptions += "0\r\n0\r\n"; // fiscal input: invoices are rewritten into receipts
    startReady();
    submit("OPFS;\r\nPLUD,:B,P100,I1900;\r\nCASH;\r\n");
    ASSERT_TRUE(waitFor([&] { return answered(); }));
    // With the default table the 19 % article would stop the rewriting.
    EXPECT_TRUE(has(ExchangeFile::FINESCO)) << read(ExchangeFile::SR_ERR);
    const auto& cmds = sim.commands();
    EXPECT_TRUE(std::any_of(cmds.begin(), cmds.end(), [](const std::string& c) { return c.find("IVA D=19,00%") != std::string::npos; }));
}

TEST_F(DriverEndToEnd, AGoSignalBeforeSrMatrWaitsForTheIdentification)
{
    // Start-up clears the channel's files, this stale SR_ERR with them; the
    // first poll comes a second later. A go signal written before the clearing
    // would be cleared with it.
    ASSERT_TRUE(writeFileBytes(file(ExchangeFile::SR_ERR), "old\r\n"));
    start();
    ASSERT_TRUE(waitFor([&] { return !has(ExchangeFile::SR_ERR) && !has(ExchangeFile::SR_MATR); }));
    pauseFor(200);
    ASSERT_FALSE(has(ExchangeFile::SR_MATR));
    submit(kReceipt);
    ASSERT_TRUE(waitFor([&] { return answered(); }));
    EXPECT_TRUE(has(ExchangeFile::FINESCO));
    const auto& cmds = sim.commands();
    ASSERT_FALSE(cmds.empty());
    const auto firstSale = std::find_if(cmds.begin(), cmds.end(), [](const std::string& c) { return c.rfind("3101", 0) == 0; });
    const auto identification = std::find(cmds.begin(), cmds.end(), std::string("1008"));
    EXPECT_LT(identification - cmds.begin(), firstSale - cmds.begin()) << "the job ran before SR_MATR existed";
}

TEST_F(DriverEndToEnd, ChannelsWaitingTogetherAreServedInTheirOrder)
{
    channels = "1110";
    start();
    for (int n = 1; n <= 3; ++n)
        waitReady(n);
    sim.setLatency(30); // the first job lasts long enough for the others to queue up
    submit("PLUD,N1,P100,:CANALE 1\r\nCASH,V100\r\n");
    ASSERT_TRUE(waitFor([&] { return !has(ExchangeFile::SR_START) || sim.framesReceived() > 10; }));
    submit("PLUD,N1,P300,:CANALE 3\r\nCASH,V300\r\n", 3);
    submit("PLUD,N1,P200,:CANALE 2\r\nCASH,V200\r\n", 2);
    ASSERT_TRUE(waitFor([&] { return answered() && answered(2) && answered(3); }, 14000));
    std::string order;
    for (const auto& doc : sim.roll().documents())
        for (const auto& line : doc.lines)
            if (line.rfind("CANALE ", 0) == 0)
                order += line.substr(7, 1);
    EXPECT_EQ(order, "123");
}

TEST_F(DriverEndToEnd, ClosingWhileIdleClearsTheChannelFilesButKeepsTheRequest)
{
    startReady();
    writeFileBytes(file(ExchangeFile::SR_DATI), kReceipt);
    writeFileBytes(file(ExchangeFile::SR_ERR), "old\r\n");
    EXPECT_EQ(terminate(), 0);
    EXPECT_TRUE(has(ExchangeFile::SR_DATI));
    EXPECT_FALSE(has(ExchangeFile::SR_MATR));
    EXPECT_FALSE(has(ExchangeFile::SR_ERR));
    EXPECT_TRUE(fileExists(joinPath(configDir.path(), "TVCHKSCO.TXT")));
    EXPECT_EQ(readFileBytes(joinPath(configDir.path(), "TVCHKCOM.TXT")).value_or(""), "1000\r\n");
}

TEST_F(DriverEndToEnd, ClosingDuringAJobEndsItsWaitAndLeavesItsFiles)
{
    startReady();
    regsim::Fault silence;
    silence.mode = regsim::FaultMode::Silence;
    silence.command = "3101";
    silence.times = -1;
    sim.addFault(silence);
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
// through the closing sequence, and frees the directory for the next one.
class ClosingSignal : public DriverEndToEnd, public ::testing::WithParamInterface<int> { };

TEST_P(ClosingSignal, RunsTheClosingSequenceAndExitsZero)
{
    startReady();
    EXPECT_EQ(terminate(GetParam()), 0);
    EXPECT_FALSE(has(ExchangeFile::SR_MATR));
    EXPECT_TRUE(fileExists(joinPath(configDir.path(), "TVTIMER1.TXT"))) << "the options were not saved";
    QProcess next;
    startSecond(next, {"--register-port", QString::number(sim.port()), "--closing-pause", "0"});
    ASSERT_TRUE(waitFor([&] { return has(ExchangeFile::SR_MATR); })) << "the next driver did not start";
    ::kill(static_cast<pid_t>(next.processId()), SIGTERM);
    EXPECT_TRUE(waitFor([&] { return next.state() == QProcess::NotRunning; }, 10000));
}

INSTANTIATE_TEST_SUITE_P(
    Signals, ClosingSignal, ::testing::Values(SIGTERM, SIGHUP, SIGINT), [](const ::testing::TestParamInfo<int>& info) {
        return std::string(info.param == SIGHUP ? "SIGHUP" : info.param == SIGINT ? "SIGINT" : "SIGTERM");
    });

TEST_F(DriverEndToEnd, AReadOnlyDataDirectoryHasItsOwnMessageAndExitStatus)
{
    namespace fs = std::filesystem;
    fs::permissions(base.path(), fs::perms::all, fs::perm_options::replace);
    fs::permissions(configDir.path(), fs::perms::all, fs::perm_options::replace);
    fs::permissions(dataDir,
                    fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::replace);
    // Root ignores a directory's permissions: the driver runs as nobody,
    // which needs a way to the program through every folder above it.
    if (::geteuid() == 0) {
        for (fs::path p = TAVOR1_BIN_DIR; p != p.root_path(); p = p.parent_path())
            if ((fs::status(p).permissions() & fs::perms::others_exec) == fs::perms::none)
                GTEST_SKIP() << p << " is closed to other users";
    }
    driver.setChildProcessModifier([] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
    });
    captureErrors = true;
    start();
    ASSERT_TRUE(driver.waitForFinished(10000));
    const std::string err = driver.readAllStandardError().toStdString();
    EXPECT_EQ(driver.exitCode(), 4) << err;
    EXPECT_NE(err.find("cannot write in the data directory " + dataDir + ": Permission denied"), std::string::npos)
        << err;
    fs::permissions(dataDir, fs::perms::owner_all, fs::perm_options::add);
}

TEST_F(DriverEndToEnd, ASecondDriverIsRefusedAtStartAndAfterTheDataDirectoryIsMadeAgain)
{
    startReady();
    auto secondDriverExit = [&] {
        QProcess second;
        startSecond(second);
        EXPECT_TRUE(second.waitForFinished(5000));
        EXPECT_EQ(driver.state(), QProcess::Running);
        return second.exitCode();
    };
    EXPECT_EQ(secondDriverExit(), 3);
    // The running driver may write into the folder while it is removed.
    ASSERT_TRUE(waitFor([&] {
        std::error_code ec;
        std::filesystem::remove_all(dataDir, ec);
        return !std::filesystem::exists(dataDir);
    }));
    makeDirectory(dataDir);
    ASSERT_TRUE(waitFor(
        [&] {
            return readFileBytes(joinPath(dataDir, "LOGFILE.TXT")).value_or("").find("tavor1.lock ripreso") !=
                   std::string::npos;
        },
        10000));
    waitReady();

    EXPECT_EQ(secondDriverExit(), 3);
    submit(kReceipt);
    ASSERT_TRUE(waitFor([&] { return answered(); }));
    EXPECT_EQ(read(ExchangeFile::FINESCO), "finesco");
}

TEST_F(DriverEndToEnd, TheHostStandInReportsSuccessFailureAndTimeOut)
{
    start();
    auto host = [&](const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(TAVOR1_HOST_BIN), args);
        waitFor([&] { return p.state() == QProcess::NotRunning; }, 12000);
        return p.exitCode();
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

// The headless driver as a shop runs it, started as a subprocess against a
// register simulator inside the test (loopback, free port).

#include "exchange/ExchangeFiles.h"
#include "simulators/payment/PaymentSimulator.h"
#include "platform/ByteFiles.h"
#include "simulators/register/RegisterSimulator.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>

#include <unistd.h>

namespace tavor1 {
namespace {

void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop (the simulator lives on it) until cond holds.
bool waitFor(const std::function<bool()>& cond, int limitMs = 8000) { return test::waitUntil(cond, limitMs); }

class DriverEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.listen(0)) << sim.errorString().toStdString();
        makeDirectory(dataDir);
    }

    void TearDown() override
    {
        if (driver.state() != QProcess::NotRunning) {
            driver.kill();
            driver.waitForFinished(3000);
        }
    }

    // Option files: the given channels, the simulator's address, Fast mode.
    void start(const std::string& channels = "1000", const QStringList& extra = {})
    {
        writeFileBytes(joinPath(configDir.path(), "TVCHKCOM.TXT"), channels + "\r\n");
        writeFileBytes(joinPath(configDir.path(), "TVCHKSCO.TXT"), otherOptions);
        driver.setProcessChannelMode(captureErrors ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
        QStringList args{"--headless", "--data-dir", QString::fromStdString(dataDir), "--config-dir",
                         QString::fromStdString(configDir.path()), "--register-port", QString::number(sim.port()),
                         "--closing-pause", "20"};
        driver.start(QStringLiteral(TAVOR1_BIN_DIR "/tavor1"), args + extra);
        ASSERT_TRUE(driver.waitForStarted(5000)) << driver.errorString().toStdString();
    }

    std::string file(ExchangeFile f, int channel) const { return joinPath(dataDir, exchangeFileName(f, channel)); }
    bool has(ExchangeFile f, int channel) const { return fileExists(file(f, channel)); }
    std::string read(ExchangeFile f, int channel) const { return readFileBytes(file(f, channel)).value_or(""); }

    void waitReady(int channel) { ASSERT_TRUE(waitFor([&] { return has(ExchangeFile::SR_MATR, channel); })) << "no SR_MATR"; }

    void submit(int channel, const std::string& request)
    {
        ASSERT_TRUE(writeFileBytes(file(ExchangeFile::SR_DATI, channel), request));
        ASSERT_TRUE(writeFileBytes(file(ExchangeFile::SR_START, channel), "00000000\r\n"));
    }

    bool jobEnded(int channel) const
    {
        return has(ExchangeFile::FINESCO, channel)
            || (has(ExchangeFile::SR_ERR, channel) && !has(ExchangeFile::SR_START, channel));
    }

    int terminate(int signal = SIGTERM)
    {
        ::kill(static_cast<pid_t>(driver.processId()), signal);
        if (!waitFor([&] { return driver.state() == QProcess::NotRunning; }, 10000))
            return -1;
        return driver.exitStatus() == QProcess::NormalExit ? driver.exitCode() : -2;
    }

    int documents() const { return sim.roll().documentCount(); }

    // The driver takes its card payments from a payment service simulator.
    void startWithPayments(paysim::Outcome outcome)
    {
        ASSERT_NE(pay.start(0), 0);
        pay.setOutcome(outcome);
        start("1000", {"--payment-url", QStringLiteral("http://127.0.0.1:%1").arg(pay.port())});
    }

    std::vector<std::string> lines(ExchangeFile f, int channel) const
    {
        std::vector<std::string> out;
        const std::string text = read(f, channel);
        for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
            out.push_back(text.substr(at, end - at));
        return out;
    }

    regsim::RegisterSimulator sim;
    test::TempDir base;
    test::TempDir configDir;
    std::string dataDir = joinPath(base.path(), "dati scambio");
    QProcess driver;
    // The driver's standard error is kept for the test instead of shown.
    bool captureErrors = false;
    paysim::PaymentSimulator pay;
    // TVCHKSCO.TXT: no trace, display on, the simulator's address, "20 sec.".
    std::string otherOptions = "0\r\n0\r\n0\r\n127.0.0.1\r\n 1 \r\n";
};

const std::string kReceipt = "PLUD,N1,P250,Q2,:PANE COMUNE\r\nSALE,N2,P1000\r\nCASH,V1500\r\n";

TEST_F(DriverEndToEnd, IdentifiesTheRegisterAndServesAReceipt)
{
    start();
    waitReady(1);
    EXPECT_EQ(read(ExchangeFile::SR_MATR, 1).substr(0, 13), "99SIM000001\r\n");

    submit(1, kReceipt);
    ASSERT_TRUE(waitFor([&] { return jobEnded(1); }));
    EXPECT_EQ(read(ExchangeFile::FINESCO, 1), "finesco");
    EXPECT_NE(read(ExchangeFile::SR_OUT, 1).find("SCONTR. N."), std::string::npos) << read(ExchangeFile::SR_OUT, 1);
    EXPECT_FALSE(has(ExchangeFile::SR_DATI, 1));
    EXPECT_FALSE(has(ExchangeFile::SR_START, 1));
    EXPECT_FALSE(has(ExchangeFile::SR_ERR, 1));
    pump(300);
    EXPECT_EQ(sim.roll().fiscalNumbers().size(), 1u) << sim.roll().text();
}

const std::string kCardReceipt =
    "PAGA,V1830,P0\r\nPLUD,N1,P1500,:MAGLIETTA\r\nPLUD,N2,P330,:CALZINI\r\nCARD,V1830\r\n";

TEST_F(DriverEndToEnd, ACardPaidReceiptReportsThePaymentInSrOutAndPrintsItsSlip)
{
    startWithPayments(paysim::Outcome::Approved);
    waitReady(1);
    submit(1, kCardReceipt);
    ASSERT_TRUE(waitFor([&] { return jobEnded(1); }, 15000));
    EXPECT_EQ(read(ExchangeFile::FINESCO, 1), "finesco") << read(ExchangeFile::SR_ERR, 1);
    ASSERT_EQ(pay.requests().size(), 1u);
    EXPECT_EQ(pay.requests()[0].path, "/WebKalidorWS/api/Payment/1830");

    const std::vector<std::string> out = lines(ExchangeFile::SR_OUT, 1);
    const auto heading = std::find(out.begin(), out.end(), "* ACQUISTO CON POS *");
    ASSERT_NE(heading, out.begin()) << read(ExchangeFile::SR_OUT, 1);
    ASSERT_NE(heading, out.end()) << read(ExchangeFile::SR_OUT, 1);
    EXPECT_EQ(*(heading - 1), " ");
    const std::vector<std::string> block(heading + 1, out.end());
    const std::vector<std::string> expected = {
        "COMANDO : PAGA", "ESITO : 00", "IMPORTO EUR 1830", "DATA  : 05/12/2026 14:30:12",
        "DESCR. ERR       : ", "DESCR. ERR AGGI. : ", "TerminalId : 12345678", "AcquirerId : 00000000001",
        "TransactionType : PAGAMENTO", "TransactionResult : 00", "KODescription : ", "CardType : VISA",
        "STAN : 000123", " PAN : ************1234", "AuthorizationCode : A1B2C3", "OperationNumber : 000045",
        "DataTrs : 05/12/2026 14:30:12"};
    EXPECT_EQ(block, expected) << read(ExchangeFile::SR_OUT, 1);
    EXPECT_EQ(out.at(1).rfind("DATE,", 0), 0u);
    EXPECT_NE(out.at(1).find("  SCONTR. N.0001-0001,E,A1;"), std::string::npos) << out.at(1);

    pump(300);
    ASSERT_EQ(sim.roll().fiscalNumbers().size(), 1u) << sim.roll().text();
    ASSERT_EQ(sim.roll().count(regsim::DocumentKind::NonFiscal), 1) << sim.roll().text();
    const std::string slip = sim.roll().documents().back().text();
    EXPECT_NE(slip.find("IMPORTO EUR           18,30"), std::string::npos) << slip;
    EXPECT_NE(slip.find("AuthorizationCode : A1B2C3"), std::string::npos) << slip;
}

TEST_F(DriverEndToEnd, ADeclinedCardPaymentPrintsOnlyItsSlipAndKeepsTheRequest)
{
    startWithPayments(paysim::Outcome::Declined);
    waitReady(1);
    submit(1, kCardReceipt);
    ASSERT_TRUE(waitFor([&] { return jobEnded(1); }, 15000));
    EXPECT_EQ(read(ExchangeFile::SR_ERR, 1), "E603: TRANSAZIONE ANNULLATA  DAL TERMINALE POS\r\n");
    EXPECT_FALSE(has(ExchangeFile::FINESCO, 1));
    EXPECT_FALSE(has(ExchangeFile::SR_START, 1));
    EXPECT_EQ(read(ExchangeFile::SR_DATI, 1), kCardReceipt);
    EXPECT_EQ(pay.requests().size(), 1u);

    pump(300);
    ASSERT_EQ(documents(), 1) << sim.roll().text();
    const regsim::PrintedDocument& slip = sim.roll().documents().front();
    EXPECT_EQ(slip.kind, regsim::DocumentKind::NonFiscal);
    EXPECT_NE(slip.text().find("ESITO : 05"), std::string::npos) << slip.text();
    EXPECT_NE(slip.text().find("KODescription : CARTA RIFIUTATA"), std::string::npos) << slip.text();
    const auto& cmds = sim.commands();
    EXPECT_EQ(std::count_if(cmds.begin(), cmds.end(), [](const std::string& c) { return c.rfind("3101", 0) == 0; }), 0);
}

TEST_F(DriverEndToEnd, TheShopsVatTableReachesTheInvoiceRewriting)
{
    // 19 % is not among the default rates: only the table of TVVALIVA.txt has it.
    writeFileBytes(joinPath(configDir.path(), "TVVALIVA.txt"), "400\r\n1000\r\n2200\r\n1900\r\n");
    otherOptions += "0\r\n0\r\n"; // fiscal input: invoices are rewritten into receipts
    start();
    waitReady(1);
    submit(1, "OPFS;\r\nPLUD,:B,P100,I1900;\r\nCASH;\r\n");
    ASSERT_TRUE(waitFor([&] { return jobEnded(1); }));
    // With the default table the 19 % article would stop the rewriting.
    EXPECT_TRUE(has(ExchangeFile::FINESCO, 1)) << read(ExchangeFile::SR_ERR, 1);
    const auto& cmds = sim.commands();
    EXPECT_TRUE(std::any_of(cmds.begin(), cmds.end(), [](const std::string& c) { return c.find("IVA D=19,00%") != std::string::npos; }));
}

TEST_F(DriverEndToEnd, AGoSignalBeforeSrMatrWaitsForTheIdentification)
{
    start();
    // Start-up clears the folder; the first poll comes a second later.
    ASSERT_TRUE(waitFor([&] { return isDirectory(dataDir) && !has(ExchangeFile::SR_MATR, 1); }));
    pump(200);
    ASSERT_FALSE(has(ExchangeFile::SR_MATR, 1));
    submit(1, kReceipt);
    ASSERT_TRUE(waitFor([&] { return jobEnded(1); }));
    EXPECT_TRUE(has(ExchangeFile::FINESCO, 1));
    const auto& cmds = sim.commands();
    ASSERT_FALSE(cmds.empty());
    const auto firstSale = std::find_if(cmds.begin(), cmds.end(), [](const std::string& c) { return c.rfind("3101", 0) == 0; });
    const auto identification = std::find(cmds.begin(), cmds.end(), std::string("1008"));
    EXPECT_LT(identification - cmds.begin(), firstSale - cmds.begin()) << "the job ran before SR_MATR existed";
}

TEST_F(DriverEndToEnd, ChannelsWaitingTogetherAreServedInTheirOrder)
{
    start("1110");
    for (int n = 1; n <= 3; ++n)
        waitReady(n);
    sim.setLatency(30); // the first job lasts long enough for the others to queue up
    submit(1, "PLUD,N1,P100,:CANALE 1\r\nCASH,V100\r\n");
    ASSERT_TRUE(waitFor([&] { return !has(ExchangeFile::SR_START, 1) || sim.framesReceived() > 10; }));
    submit(3, "PLUD,N1,P300,:CANALE 3\r\nCASH,V300\r\n");
    submit(2, "PLUD,N1,P200,:CANALE 2\r\nCASH,V200\r\n");
    ASSERT_TRUE(waitFor([&] { return jobEnded(1) && jobEnded(2) && jobEnded(3); }, 14000));
    std::string order;
    for (const auto& doc : sim.roll().documents())
        for (const auto& line : doc.lines)
            if (line.rfind("CANALE ", 0) == 0)
                order += line.substr(7, 1);
    EXPECT_EQ(order, "123");
}

TEST_F(DriverEndToEnd, ClosingWhileIdleClearsTheChannelFilesButKeepsTheRequest)
{
    start();
    waitReady(1);
    writeFileBytes(file(ExchangeFile::SR_DATI, 1), kReceipt);
    writeFileBytes(file(ExchangeFile::SR_ERR, 1), "old\r\n");
    EXPECT_EQ(terminate(), 0);
    EXPECT_TRUE(has(ExchangeFile::SR_DATI, 1));
    EXPECT_FALSE(has(ExchangeFile::SR_MATR, 1));
    EXPECT_FALSE(has(ExchangeFile::SR_ERR, 1));
    EXPECT_TRUE(fileExists(joinPath(configDir.path(), "TVCHKSCO.TXT")));
    EXPECT_EQ(readFileBytes(joinPath(configDir.path(), "TVCHKCOM.TXT")).value_or(""), "1000\r\n");
}

TEST_F(DriverEndToEnd, ClosingDuringAJobEndsItsWaitAndLeavesItsFiles)
{
    start();
    waitReady(1);
    regsim::Fault silence;
    silence.mode = regsim::FaultMode::Silence;
    silence.command = "3101";
    silence.times = -1;
    sim.addFault(silence);
    submit(1, kReceipt);
    ASSERT_TRUE(waitFor([&] {
        const auto& c = sim.commands();
        return std::any_of(c.begin(), c.end(), [](const std::string& s) { return s.rfind("3101", 0) == 0; });
    }));
    QDeadlineTimer limit(6000);
    EXPECT_EQ(terminate(), 0);
    EXPECT_FALSE(limit.hasExpired()) << "the job's reply wait did not end";
    EXPECT_TRUE(has(ExchangeFile::SR_START, 1));
    EXPECT_TRUE(has(ExchangeFile::SR_DATI, 1));
    EXPECT_FALSE(has(ExchangeFile::FINESCO, 1));
    EXPECT_FALSE(has(ExchangeFile::SR_ERR, 1));
}

TEST_F(DriverEndToEnd, ASecondDriverOnTheSameFolderEndsAtOnce)
{
    start();
    waitReady(1);
    QProcess second;
    second.start(QStringLiteral(TAVOR1_BIN_DIR "/tavor1"),
                 {"--headless", "--data-dir", QString::fromStdString(dataDir), "--config-dir",
                  QString::fromStdString(configDir.path())});
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_NE(second.exitCode(), 0);
    EXPECT_EQ(driver.state(), QProcess::Running);
}

// Every signal a service manager or a closed terminal sends ends the driver
// through the closing sequence, and frees the directory for the next one.
class ClosingSignal : public DriverEndToEnd, public ::testing::WithParamInterface<int> { };

TEST_P(ClosingSignal, RunsTheClosingSequenceAndExitsZero)
{
    start();
    waitReady(1);
    EXPECT_EQ(terminate(GetParam()), 0);
    EXPECT_FALSE(has(ExchangeFile::SR_MATR, 1));
    EXPECT_TRUE(fileExists(joinPath(configDir.path(), "TVTIMER1.TXT"))) << "the options were not saved";
    QProcess next;
    next.start(QStringLiteral(TAVOR1_BIN_DIR "/tavor1"),
               {"--headless", "--data-dir", QString::fromStdString(dataDir), "--config-dir",
                QString::fromStdString(configDir.path()), "--register-port", QString::number(sim.port()),
                "--closing-pause", "0"});
    ASSERT_TRUE(waitFor([&] { return has(ExchangeFile::SR_MATR, 1); })) << "the next driver did not start";
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

TEST_F(DriverEndToEnd, ADataDirectoryMadeAgainIsLockedAgainAndASecondDriverIsRefused)
{
    start();
    waitReady(1);
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
    waitReady(1);

    QProcess second;
    second.start(QStringLiteral(TAVOR1_BIN_DIR "/tavor1"), {"--headless", "--data-dir", QString::fromStdString(dataDir),
                                                            "--config-dir", QString::fromStdString(configDir.path())});
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 3) << second.readAllStandardError().toStdString();
    EXPECT_EQ(driver.state(), QProcess::Running);
    submit(1, kReceipt);
    ASSERT_TRUE(waitFor([&] { return jobEnded(1); }));
    EXPECT_EQ(read(ExchangeFile::FINESCO, 1), "finesco");
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

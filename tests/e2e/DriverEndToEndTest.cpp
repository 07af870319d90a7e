// The headless driver as a shop runs it, started as a subprocess against a
// register simulator inside the test (loopback, free port).

#include "app/files/ExchangeFiles.h"
#include "platform/ByteFiles.h"
#include "regsim/RegisterSimulator.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace tavor1 {
namespace {

int argc = 1;
char name[] = "e2e_tests";
char* argv[] = {name, nullptr};
QCoreApplication application(argc, argv);

void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop (the simulator lives on it) until cond holds.
bool waitFor(const std::function<bool()>& cond, int limitMs = 8000)
{
    QDeadlineTimer deadline(limitMs);
    while (!cond()) {
        if (deadline.hasExpired())
            return false;
        pump(10);
    }
    return true;
}

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
    void start(const std::string& channels = "1000")
    {
        writeFileBytes(joinPath(configDir.path(), "TVCHKCOM.TXT"), channels + "\r\n");
        writeFileBytes(joinPath(configDir.path(), "TVCHKSCO.TXT"), "0\r\n0\r\n0\r\n127.0.0.1\r\n 1 \r\n");
        driver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        driver.start(QStringLiteral(TAVOR1_BIN_DIR "/tavor1"),
                     {"--headless", "--data-dir", QString::fromStdString(dataDir), "--config-dir",
                      QString::fromStdString(configDir.path()), "--register-port", QString::number(sim.port()),
                      "--closing-pause", "20"});
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

    int terminate()
    {
        ::kill(static_cast<pid_t>(driver.processId()), SIGTERM);
        if (!waitFor([&] { return driver.state() == QProcess::NotRunning; }, 10000))
            return -1;
        return driver.exitStatus() == QProcess::NormalExit ? driver.exitCode() : -2;
    }

    int documents() const { return sim.roll().documentCount(); }

    regsim::RegisterSimulator sim;
    test::TempDir base;
    test::TempDir configDir;
    std::string dataDir = joinPath(base.path(), "dati scambio");
    QProcess driver;
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

TEST_F(DriverEndToEnd, AFailingReceiptAnswersInSrErrAndKeepsTheRequest)
{
    start();
    waitReady(1);
    sim.failCommand("3101", regsim::err::CoverOpen);
    submit(1, kReceipt);
    ASSERT_TRUE(waitFor([&] { return jobEnded(1); }));
    EXPECT_EQ(read(ExchangeFile::SR_ERR, 1).rfind("E509: Coperchio stampante aperto", 0), 0u)
        << read(ExchangeFile::SR_ERR, 1);
    EXPECT_TRUE(has(ExchangeFile::SR_DATI, 1));
    EXPECT_FALSE(has(ExchangeFile::FINESCO, 1));
}

TEST_F(DriverEndToEnd, AGoSignalWithoutRequestIsAnsweredWithE506)
{
    start();
    waitReady(1);
    ASSERT_TRUE(writeFileBytes(file(ExchangeFile::SR_START, 1), "00000000\r\n"));
    ASSERT_TRUE(waitFor([&] { return jobEnded(1); }));
    EXPECT_EQ(read(ExchangeFile::SR_ERR, 1), "E506: Trasmissione non avvenuta: file di input non presente\r\n");
    EXPECT_EQ(sim.roll().documentCount(), 0);
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

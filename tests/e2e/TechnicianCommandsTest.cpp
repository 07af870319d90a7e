// The technician's commands as they are typed: `tavor1 doctor`, `tavor1
// options` and `tavor1 cancel`, run as subprocesses against the register and
// payment simulators of the test (loopback, free ports).

#include "DriverProcess.h"

#include "exchange/JobJournal.h"
#include "platform/ByteFiles.h"

#include <QStandardPaths>
#include <QTcpServer>

#include <sys/stat.h>
#include <unistd.h>

namespace tavor1 {
namespace {

using test::kTavor1;

struct CommandRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a command to its end while the event loop (and so the simulators)
// keeps running.
CommandRun run(const QString& program, const QStringList& args, int limitMs = 30000)
{
    QProcess process;
    process.start(program, args);
    CommandRun result;
    if (!process.waitForStarted(5000))
        return result;
    test::waitUntil([&] { return process.state() == QProcess::NotRunning; }, limitMs);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(3000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}

class TechnicianCommands : public test::DriverProcess {
protected:
    void SetUp() override
    {
        DriverProcess::SetUp();
        writeFileBytes(joinPath(configDir.path(), "TVCHKCOM.TXT"), "1000\r\n");
        setAddress("127.0.0.1");
    }

    QStringList dirs() const
    {
        return {"--data-dir", QString::fromStdString(dataDir), "--config-dir",
                QString::fromStdString(configDir.path())};
    }
    QStringList registerAt(int port) const { return {"--register-port", QString::number(port)}; }
    QString paymentUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(pay.port()); }

    CommandRun tavor1(const QStringList& args) { return run(kTavor1, args); }

    QStringList doctorArgs(int port) const { return QStringList{"doctor"} + dirs() + registerAt(port); }
    CommandRun doctor(int port) { return tavor1(doctorArgs(port) + QStringList{"--payment-url", paymentUrl()}); }

    // A port nobody listens on: a free one, taken and given back.
    static int deadPort()
    {
        QTcpServer gone;
        EXPECT_TRUE(gone.listen(QHostAddress::LocalHost, 0));
        return gone.serverPort();
    }

    void setAddress(const char* address)
    {
        const CommandRun r = tavor1(QStringList{"options", "--config-dir", QString::fromStdString(configDir.path()),
                                                QStringLiteral("txtRemoteIP=%1").arg(address)});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    void stopDriver() { ASSERT_EQ(terminate(), 0); }

    // Submits a request on channel 1 and waits for its answer: FINESCO, or
    // the text of SR_ERR.
    std::string job(const std::string& request)
    {
        removeFile(file(ExchangeFile::FINESCO));
        removeFile(file(ExchangeFile::SR_ERR));
        submit(request);
        if (!waitFor([&] { return answered(); }))
            return "<no answer>";
        return has(ExchangeFile::FINESCO) ? "finesco" : read(ExchangeFile::SR_ERR);
    }
};

const std::string kReceipt = "PLUD,N1,P250,Q2,:PANE COMUNE\r\nSALE,N2,P1000\r\nCASH,V1500\r\n";
// Sold, never paid: the register keeps the receipt open.
const std::string kUnpaidReceipt = "PLUD,N1,P250,:PANE COMUNE\r\n";

TEST_F(TechnicianCommands, DoctorAgainstAWorkingRegisterIsAllOk)
{
    const CommandRun r = doctor(sim.port());
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("FAIL"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ok   identificazione: matricola 99SIM000001"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ok   stato 1009: pronto (00)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ok   lavori: nessun lavoro in sospeso"), std::string::npos) << r.out;
    // Nothing printed, nothing published, no card charged.
    EXPECT_EQ(sim.roll().documentCount(), 0) << sim.roll().text();
    EXPECT_FALSE(has(ExchangeFile::SR_MATR));
    EXPECT_TRUE(pay.requests().empty());
}

TEST_F(TechnicianCommands, DoctorNamesAJobACrashInterrupted)
{
    // A job accepted and never decided: the driver died during it.
    ASSERT_TRUE(appendFileBytes(joinPath(dataDir, std::string(kJournalFileName)),
                                encodeJournalRecord(acceptedRecord(1, 1, stampOfBytes(kReceipt)))));
    const CommandRun r = doctor(sim.port());
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("FAIL lavori: 1 interrotti, 0 senza risposta -> avviare il driver"), std::string::npos)
        << r.out;
}

TEST_F(TechnicianCommands, DoctorNamesADeadPortAndItsCause)
{
    const int port = deadPort();
    const CommandRun r = doctor(port);
    EXPECT_EQ(r.exitCode, 1) << r.out;
    const std::string expected = "FAIL registratore: Registratore 127.0.0.1:" + std::to_string(port) +
                                 " non raggiungibile: connessione rifiutata";
    EXPECT_NE(r.out.find(expected), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ok   pagamenti"), std::string::npos) << r.out;
}

TEST_F(TechnicianCommands, AnUnreachableRegisterIsNamedInTheLogAndOnStandardError)
{
    const int port = deadPort();
    driver.start(kTavor1, QStringList{"--headless", "--closing-pause", "20"} + dirs() + registerAt(port));
    ASSERT_TRUE(driver.waitForStarted(5000));
    const std::string line =
        "Registratore 127.0.0.1:" + std::to_string(port) + " non raggiungibile: connessione rifiutata";
    ASSERT_TRUE(waitFor([&] { return logFile().find(line) != std::string::npos; })) << logFile();
    // The host's SR_ERR keeps its own text.
    ASSERT_TRUE(waitFor([&] { return has(ExchangeFile::SR_ERR); }, 5000));
    EXPECT_EQ(read(ExchangeFile::SR_ERR).substr(0, 26), "Errore generico sull'Ecr, ");
    stopDriver();
    const std::string err = driver.readAllStandardError().toStdString();
    EXPECT_NE(err.find("tavor1: error: " + line), std::string::npos) << err;
    // Repeated attempts with the same cause are one line, not one per poll.
    const std::string text = logFile();
    EXPECT_EQ(text.find(line), text.rfind(line)) << text;
}

TEST_F(TechnicianCommands, DoctorWithoutAnAddressSaysWhereToSetIt)
{
    removeFile(joinPath(configDir.path(), "TVCHKSCO.TXT"));
    const CommandRun r = doctor(sim.port());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("FAIL opzioni: nessun indirizzo del registratore in TVCHKSCO.TXT"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("txtRemoteIP="), std::string::npos) << r.out;
}

TEST_F(TechnicianCommands, DoctorFailsAReadOnlyDataDirectory)
{
    ASSERT_EQ(::chmod(dataDir.c_str(), 0555), 0);
    QString program = kTavor1;
    QStringList args = doctorArgs(sim.port());
    if (::geteuid() == 0) {
        // root writes anywhere: the check runs as nobody, as a service user would.
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (setpriv.isEmpty())
            GTEST_SKIP() << "running as root without setpriv";
        ::chmod(base.path().c_str(), 0755);
        ::chmod(configDir.path().c_str(), 0755);
        const QStringList asNobody{"--reuid=65534", "--regid=65534", "--clear-groups", kTavor1};
        if (run(setpriv, asNobody + QStringList{"--version"}).exitCode != 0)
            GTEST_SKIP() << "nobody cannot run " << kTavor1.toStdString() << " from this folder";
        args = asNobody + args;
        program = setpriv;
    }
    const CommandRun r = run(program, args);
    ::chmod(dataDir.c_str(), 0755);
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("FAIL dati: " + dataDir + " non e' scrivibile"), std::string::npos) << r.out << r.err;
}

TEST_F(TechnicianCommands, OptionsSetByNameAreListedBackAndABadValueSavesNothing)
{
    const QStringList config{"--config-dir", QString::fromStdString(configDir.path())};
    CommandRun r =
        tavor1(QStringList{"options"} + config + QStringList{"txtRemoteIP=192.168.1.50", "chbPagamentiEstesi=1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(readFileBytes(joinPath(configDir.path(), "TVCHKSCO.TXT")).value_or("").find("\r\n192.168.1.50\r\n"),
              std::string::npos);

    r = tavor1(QStringList{"options"} + config);
    EXPECT_NE(r.out.find("txtRemoteIP=192.168.1.50"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("chbPagamentiEstesi=1"), std::string::npos) << r.out;

    r = tavor1(QStringList{"options"} + config + QStringList{"chbTrace=1", "txtRemoteIP=192.168.1.300"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("txtRemoteIP: \"192.168.1.300\" non e' un indirizzo IPv4 valido"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing saved"), std::string::npos) << r.err;
    r = tavor1(QStringList{"options"} + config + QStringList{"chbTrace", "txtRemoteIP"});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')).substr(0, 10), "chbTrace=0") << r.out;
    EXPECT_NE(r.out.find("txtRemoteIP=192.168.1.50"), std::string::npos) << r.out;
}

TEST_F(TechnicianCommands, CancelThroughTheRunningDriverFreesTheNextJob)
{
    startReady();
    job(kUnpaidReceipt);
    ASSERT_EQ(job(kReceipt).substr(0, 4), "E503") << "the open receipt must block the next job";

    const CommandRun r = tavor1(QStringList{"cancel"} + dirs());
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("asking the driver PID"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3011: "), std::string::npos) << r.out;

    EXPECT_EQ(job(kReceipt), "finesco");
    stopDriver();
}

TEST_F(TechnicianCommands, CancelWithoutADriverTalksToTheRegisterItself)
{
    startReady();
    job(kUnpaidReceipt);
    stopDriver();

    const CommandRun r = tavor1(QStringList{"cancel"} + dirs() + registerAt(sim.port()));
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("no driver serves"), std::string::npos) << r.out;

    startReady();
    EXPECT_EQ(job(kReceipt), "finesco");
    stopDriver();
}

} // namespace
} // namespace tavor1

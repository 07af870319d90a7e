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

using test::CommandRun;
using test::kTavor1;

class TechnicianCommands : public test::DriverProcess {
protected:
    void SetUp() override
    {
        DriverProcess::SetUp();
        writeFileBytes(joinPath(configDir.path(), "TVCHKCOM.TXT"), "1000\r\n");
        const CommandRun r = options({"txtRemoteIP=127.0.0.1"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    QStringList registerAt(int port) const { return {"--register-port", QString::number(port)}; }

    QStringList doctorArgs(int port) const { return QStringList{"doctor"} + dirs() + registerAt(port); }
    CommandRun doctor(int port)
    {
        return tavor1(doctorArgs(port) +
                      QStringList{"--payment-url", QStringLiteral("http://127.0.0.1:%1").arg(pay.port())});
    }
    CommandRun options(const QStringList& args)
    {
        return tavor1(QStringList{"options", "--config-dir", QString::fromStdString(configDir.path())} + args);
    }

    // A port nobody listens on: a free one, taken and given back.
    static int deadPort()
    {
        QTcpServer gone;
        EXPECT_TRUE(gone.listen(QHostAddress::LocalHost, 0));
        return gone.serverPort();
    }

    void stopDriver() { ASSERT_EQ(terminate(), 0); }
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

// Each fault, added to the ones before, is named with what to do, and the
// check fails.
TEST_F(TechnicianCommands, DoctorNamesWhatIsWrong)
{
    const int dead = deadPort();
    const std::string deadRegister = "Registratore 127.0.0.1:" + std::to_string(dead) + " non raggiungibile";
    // A job accepted and never decided: the driver died during it.
    const auto interruptAJob = [&] {
        appendFileBytes(joinPath(dataDir, std::string(kJournalFileName)),
                        encodeJournalRecord(acceptedRecord(1, 1, stampOfBytes(kReceipt))));
    };
    const auto removeTheAddress = [&] { removeFile(joinPath(configDir.path(), "TVCHKSCO.TXT")); };
    const struct {
        const char* name;
        std::function<void()> fault;
        int port;
        std::vector<std::string> lines;
    } cases[] = {
        {"deadPort", [] {}, dead, {"FAIL registratore: " + deadRegister + ": connessione rifiutata", "ok   pagamenti"}},
        {"jobACrashInterrupted",
         interruptAJob,
         sim.port(),
         {"FAIL lavori: 1 interrotti, 0 senza risposta -> avviare il driver"}},
        {"noAddress",
         removeTheAddress,
         sim.port(),
         {"FAIL opzioni: nessun indirizzo del registratore in TVCHKSCO.TXT", "txtRemoteIP="}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.fault();
        const CommandRun r = doctor(c.port);
        EXPECT_EQ(r.exitCode, 1) << r.out;
        for (const std::string& line : c.lines)
            EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    }
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

// The data directory refuses writes: the driver stops with an exit status
// and a message of its own, and the doctor names it.
TEST_F(TechnicianCommands, AReadOnlyDataDirectoryStopsTheDriverAndFailsTheDoctor)
{
    ASSERT_EQ(::chmod(dataDir.c_str(), 0555), 0);
    QString program = kTavor1;
    QStringList asNobody;
    if (::geteuid() == 0) {
        // root writes anywhere: the commands run as nobody, as a service user would.
        program = QStandardPaths::findExecutable("setpriv");
        if (program.isEmpty())
            GTEST_SKIP() << "running as root without setpriv";
        ::chmod(base.path().c_str(), 0755);
        ::chmod(configDir.path().c_str(), 0755);
        asNobody = {"--reuid=65534", "--regid=65534", "--clear-groups", kTavor1};
        if (test::runCommand(program, asNobody + QStringList{"--version"}).exitCode != 0)
            GTEST_SKIP() << "nobody cannot run " << kTavor1.toStdString() << " from this folder";
    }
    const CommandRun driverRun =
        test::runCommand(program, asNobody + QStringList{"--headless"} + dirs() + registerAt(sim.port()), 10000);
    const CommandRun doctorRun = test::runCommand(program, asNobody + doctorArgs(sim.port()));
    ::chmod(dataDir.c_str(), 0755);
    EXPECT_EQ(driverRun.exitCode, 4) << driverRun.err;
    EXPECT_NE(driverRun.err.find("cannot write in the data directory " + dataDir + ": Permission denied"),
              std::string::npos)
        << driverRun.err;
    EXPECT_EQ(doctorRun.exitCode, 1) << doctorRun.out << doctorRun.err;
    EXPECT_NE(doctorRun.out.find("FAIL dati: " + dataDir + " non e' scrivibile"), std::string::npos) << doctorRun.out;
}

TEST_F(TechnicianCommands, OptionsSetByNameAreListedBackAndABadValueSavesNothing)
{
    CommandRun r = options({"txtRemoteIP=192.168.1.50", "chbPagamentiEstesi=1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(readFileBytes(joinPath(configDir.path(), "TVCHKSCO.TXT")).value_or("").find("\r\n192.168.1.50\r\n"),
              std::string::npos);

    r = options({});
    EXPECT_NE(r.out.find("txtRemoteIP=192.168.1.50"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("chbPagamentiEstesi=1"), std::string::npos) << r.out;

    r = options({"chbTrace=1", "txtRemoteIP=192.168.1.300"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("txtRemoteIP: \"192.168.1.300\" non e' un indirizzo IPv4 valido"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing saved"), std::string::npos) << r.err;
    r = options({"chbTrace", "txtRemoteIP"});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')).substr(0, 10), "chbTrace=0") << r.out;
    EXPECT_NE(r.out.find("txtRemoteIP=192.168.1.50"), std::string::npos) << r.out;
}

// The receipt a sale without payment leaves open blocks the next job until
// the technician cancels it, through the running driver or, with none, at
// the register itself.
TEST_F(TechnicianCommands, CancelFreesTheNextJobWithOrWithoutTheDriver)
{
    startReady();
    job(kUnpaidReceipt);
    ASSERT_EQ(job(kReceipt).substr(0, 4), "E503") << "the open receipt must block the next job";

    CommandRun r = tavor1(QStringList{"cancel"} + dirs());
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("asking the driver PID"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3011: "), std::string::npos) << r.out;
    EXPECT_EQ(job(kReceipt), "finesco");

    job(kUnpaidReceipt);
    stopDriver();
    r = tavor1(QStringList{"cancel"} + dirs() + registerAt(sim.port()));
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("no driver serves"), std::string::npos) << r.out;

    startReady();
    EXPECT_EQ(job(kReceipt), "finesco");
    stopDriver();
}

} // namespace
} // namespace tavor1

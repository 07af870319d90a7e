// The headless driver killed in the middle of a job and started again, and
// documents a failed job leaves open on the register: run as a shop would,
// against a register simulator inside the test (loopback, free port).

#include "exchange/ExchangeFiles.h"
#include "exchange/JobJournal.h"
#include "platform/ByteFiles.h"
#include "simulators/register/RegisterSimulator.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <QProcess>

#include <csignal>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace tavor1 {
namespace {

using regsim::DocumentState;
using regsim::Fault;
using regsim::FaultMode;

const std::string kReceipt = "PLUD,N1,P250,Q2,:PANE COMUNE\r\nSALE,N2,P1000\r\nCASH,V1500\r\n";
const std::string kSaleWithoutPayment = "PLUD,N1,P250,Q2,:PANE COMUNE\r\n";
constexpr const char* kE520 = "E520: Errore di connessione rete\r\n";
constexpr const char* kE503 = "E503: Scontrino aperto, chiudere e riavviare l'esecuzione";

class DriverProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.listen(0)) << sim.errorString().toStdString();
        makeDirectory(dataDir);
        writeFileBytes(joinPath(configDir.path(), "TVCHKCOM.TXT"), "1000\r\n");
        writeFileBytes(joinPath(configDir.path(), "TVCHKSCO.TXT"), "0\r\n0\r\n0\r\n127.0.0.1\r\n 1 \r\n");
    }

    void TearDown() override { kill(); }

    void start(int replyTimeoutMs = 60000)
    {
        driver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        driver.start(QStringLiteral(TAVOR1_BIN_DIR "/tavor1"),
                     {"--headless", "--data-dir", QString::fromStdString(dataDir), "--config-dir",
                      QString::fromStdString(configDir.path()), "--register-port", QString::number(sim.port()),
                      "--closing-pause", "20", "--reply-timeout", QString::number(replyTimeoutMs)});
        ASSERT_TRUE(driver.waitForStarted(5000)) << driver.errorString().toStdString();
    }

    // A power cut, as far as the driver can tell.
    void kill()
    {
        if (driver.state() != QProcess::NotRunning) {
            driver.kill();
            driver.waitForFinished(3000);
        }
    }

    std::string file(ExchangeFile f) const { return joinPath(dataDir, exchangeFileName(f, 1)); }
    bool has(ExchangeFile f) const { return fileExists(file(f)); }
    std::string read(ExchangeFile f) const { return readFileBytes(file(f)).value_or(""); }
    bool waitFor(const std::function<bool()>& cond, int limitMs = 10000) { return test::waitUntil(cond, limitMs); }

    // SR_MATR is written, and the identification's last message is through.
    void waitReady()
    {
        ASSERT_TRUE(waitFor([&] { return has(ExchangeFile::SR_MATR) && received("1109"); })) << "no SR_MATR";
    }

    void submit(const std::string& request)
    {
        ASSERT_TRUE(writeFileBytes(file(ExchangeFile::SR_DATI), request));
        ASSERT_TRUE(writeFileBytes(file(ExchangeFile::SR_START), "00000000\r\n"));
    }

    bool answered() const { return has(ExchangeFile::FINESCO) || has(ExchangeFile::SR_ERR); }

    int count(const std::string& prefix) const
    {
        const auto& c = sim.commands();
        return static_cast<int>(
            std::count_if(c.begin(), c.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; }));
    }
    bool received(const std::string& prefix) const { return count(prefix) > 0; }

    std::string commandsSent() const
    {
        std::string out;
        for (const std::string& c : sim.commands())
            out += c + "\n";
        return out;
    }

    int receipts() const { return static_cast<int>(sim.roll().fiscalNumbers().size()); }

    regsim::RegisterSimulator sim;
    test::TempDir base;
    test::TempDir configDir;
    std::string dataDir = joinPath(base.path(), "dati");
    QProcess driver;
};

// The driver is killed while the register holds back its reply to one
// command of the job; at the next start the job is answered by what the
// register says, and a later job prints normally.
struct CrashRow {
    const char* name;
    std::string silentCommand;
    bool completed;
    // Stopped by SIGTERM (the closing sequence) instead of killed.
    bool terminated = false;
    // The counter read before the document is refused ("ERR 16" to "1104"):
    // completion is told by whether the document is still open.
    bool countersRefused = false;
};

class KilledDuringAJob : public DriverProcessTest, public ::testing::WithParamInterface<CrashRow> { };

TEST_P(KilledDuringAJob, IsAnsweredAtTheNextStartAndNothingPrintsTwice)
{
    const CrashRow& row = GetParam();
    start();
    waitReady();
    Fault silent;
    silent.mode = FaultMode::Silence;
    silent.command = row.silentCommand;
    sim.addFault(silent);
    if (row.countersRefused)
        sim.failCommand("1104", regsim::err::PaperEnd);
    const int before = count(row.silentCommand);
    submit(kReceipt);
    ASSERT_TRUE(waitFor([&] { return count(row.silentCommand) > before; })) << commandsSent();
    if (row.terminated) {
        ::kill(static_cast<pid_t>(driver.processId()), SIGTERM);
        ASSERT_TRUE(waitFor([&] { return driver.state() == QProcess::NotRunning; }));
    }
    kill();
    EXPECT_FALSE(answered());

    start();
    ASSERT_TRUE(waitFor([&] { return answered(); })) << commandsSent();
    if (row.completed) {
        EXPECT_EQ(read(ExchangeFile::FINESCO), "finesco");
        EXPECT_NE(read(ExchangeFile::SR_OUT).find("SCONTR. N."), std::string::npos) << read(ExchangeFile::SR_OUT);
        EXPECT_EQ(read(ExchangeFile::SR_OUT).find("FW: \r\n"), std::string::npos) << "the register is identified first";
        EXPECT_FALSE(has(ExchangeFile::SR_DATI));
        EXPECT_EQ(receipts(), 1);
    } else {
        EXPECT_EQ(read(ExchangeFile::SR_ERR), kE520);
        EXPECT_EQ(read(ExchangeFile::SR_DATI), kReceipt) << "kept for the host to send again";
        EXPECT_EQ(receipts(), 0);
    }
    EXPECT_FALSE(has(ExchangeFile::SR_START));
    EXPECT_EQ(sim.model().documentState(), DocumentState::Idle) << commandsSent();

    // The host sends again what failed, or its next receipt: it prints once.
    waitReady();
    ASSERT_TRUE(waitFor([&] { return !has(ExchangeFile::SR_START); }));
    removeFile(file(ExchangeFile::SR_ERR));
    removeFile(file(ExchangeFile::FINESCO));
    submit(kReceipt);
    ASSERT_TRUE(waitFor([&] { return answered(); })) << commandsSent();
    EXPECT_EQ(read(ExchangeFile::FINESCO), "finesco") << read(ExchangeFile::SR_ERR);
    EXPECT_EQ(receipts(), row.completed ? 2 : 1);

    const JournalReplay journal = JobJournal::read(dataDir);
    ASSERT_EQ(journal.jobs.size(), 2u);
    EXPECT_TRUE(journal.jobs[0].settled);
    EXPECT_TRUE(journal.jobs[0].answered);
}

INSTANTIATE_TEST_SUITE_P(CrashPoints, KilledDuringAJob,
                         ::testing::Values(CrashRow{"beforeTheDocument", "1011", false},
                                           CrashRow{"atThePayment", "3007", false},
                                           CrashRow{"afterTheClosing", "1109", true},
                                           CrashRow{"terminatedAtThePayment", "3007", false, true},
                                           CrashRow{"afterTheClosingCountersRefused", "1109", true, false, true},
                                           CrashRow{"atTheClosingCountersRefused", "3011", false, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A job that fails with its document begun leaves nothing open on the
// register; the next job prints.
struct FailureRow {
    const char* name;
    std::function<void(regsim::RegisterSimulator&)> fault;
    std::string firstAnswer;
};

class FailedJob : public DriverProcessTest, public ::testing::WithParamInterface<FailureRow> { };

TEST_P(FailedJob, LeavesNoDocumentOpen)
{
    const FailureRow& row = GetParam();
    start(1500);
    waitReady();
    row.fault(sim);
    submit(kReceipt);
    ASSERT_TRUE(waitFor([&] { return answered(); })) << commandsSent();
    EXPECT_EQ(read(ExchangeFile::SR_ERR).substr(0, row.firstAnswer.size()), row.firstAnswer) << commandsSent();
    EXPECT_EQ(sim.model().documentState(), DocumentState::Idle) << commandsSent();
    EXPECT_EQ(receipts(), 0);

    ASSERT_TRUE(waitFor([&] { return !has(ExchangeFile::SR_START); }));
    removeFile(file(ExchangeFile::SR_ERR));
    submit(kReceipt);
    ASSERT_TRUE(waitFor([&] { return answered(); })) << commandsSent();
    EXPECT_EQ(read(ExchangeFile::FINESCO), "finesco") << read(ExchangeFile::SR_ERR);
    EXPECT_EQ(receipts(), 1);
}

INSTANTIATE_TEST_SUITE_P(Failures, FailedJob,
                         ::testing::Values(FailureRow{"linkLostAtThePayment",
                                                      [](regsim::RegisterSimulator& s) {
                                                          Fault f;
                                                          f.mode = FaultMode::DropConnection;
                                                          f.command = "3007";
                                                          s.addFault(f);
                                                      },
                                                      kE520},
                                           FailureRow{"noReplyToTheSale",
                                                      [](regsim::RegisterSimulator& s) {
                                                          Fault f;
                                                          f.mode = FaultMode::Silence;
                                                          f.command = "3101";
                                                          s.addFault(f);
                                                      },
                                                      "E504"},
                                           FailureRow{"refusalInMidDocument",
                                                      [](regsim::RegisterSimulator& s) {
                                                          s.failCommand("3007", regsim::err::NegativeTotal);
                                                      },
                                                      "E505"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverProcessTest, ASaleWithoutPaymentStaysOpenForTheRegister)
{
    start();
    waitReady();
    submit(kSaleWithoutPayment);
    ASSERT_TRUE(waitFor([&] { return answered(); })) << commandsSent();
    EXPECT_EQ(read(ExchangeFile::FINESCO), "finesco");
    EXPECT_EQ(sim.model().documentState(), DocumentState::Receipt);

    // The next job finds the operator's receipt open and leaves it alone.
    removeFile(file(ExchangeFile::FINESCO));
    submit(kReceipt);
    ASSERT_TRUE(waitFor([&] { return answered(); })) << commandsSent();
    EXPECT_EQ(read(ExchangeFile::SR_ERR).substr(0, std::string(kE503).size()), kE503);
    EXPECT_EQ(sim.model().documentState(), DocumentState::Receipt) << commandsSent();
    EXPECT_FALSE(received("3001818"));
}

class CancelOwed : public DriverProcessTest {
protected:
    // The link drops in mid-receipt and again when the driver asks whether
    // the document is open: the job fails with its receipt open and the
    // cancel owed.
    void failWithTheCancelOwed()
    {
        start();
        waitReady();
        Fault drop;
        drop.mode = FaultMode::DropConnection;
        drop.command = "3007";
        sim.addFault(drop);
        const int states = count("1011");
        submit(kReceipt);
        ASSERT_TRUE(waitFor([&] { return received("3007"); })) << commandsSent();
        drop.command = "1011";
        sim.addFault(drop);
        ASSERT_TRUE(waitFor([&] { return answered(); })) << commandsSent();
        EXPECT_EQ(read(ExchangeFile::SR_ERR), kE520);
        EXPECT_EQ(sim.model().documentState(), DocumentState::Receipt) << "the cancel could not be made yet";
        EXPECT_EQ(count("1011"), states + 2) << commandsSent();
        ASSERT_TRUE(waitFor([&] { return !has(ExchangeFile::SR_START); }));
        removeFile(file(ExchangeFile::SR_ERR));
    }
};

// An idle poll cancels it once the register answers again, and the next job
// prints instead of failing with E503.
TEST_F(CancelOwed, IsMadeWhileIdleAndTheNextJobPrints)
{
    failWithTheCancelOwed();
    ASSERT_TRUE(waitFor([&] { return sim.model().documentState() == DocumentState::Idle; })) << commandsSent();
    submit(kReceipt);
    ASSERT_TRUE(waitFor([&] { return answered(); })) << commandsSent();
    EXPECT_EQ(read(ExchangeFile::FINESCO), "finesco") << read(ExchangeFile::SR_ERR);
    EXPECT_EQ(receipts(), 1);
    EXPECT_EQ(sim.model().documentState(), DocumentState::Idle);
    EXPECT_NE(readFileBytes(joinPath(dataDir, "LOGFILE.TXT")).value_or("").find("annullato"), std::string::npos);
}

// The operator cleared it at the register: the receipt a later sale without
// payment leaves open is the operator's, and is never cancelled.
TEST_F(CancelOwed, LapsesWhenTheRegisterIsFoundClear)
{
    failWithTheCancelOwed();
    sim.model().execute("3001818Annull.transazione000000000");
    sim.model().execute("3013");
    ASSERT_EQ(sim.model().documentState(), DocumentState::Idle);
    submit(kSaleWithoutPayment);
    ASSERT_TRUE(waitFor([&] { return answered(); })) << commandsSent();
    EXPECT_EQ(read(ExchangeFile::FINESCO), "finesco");

    removeFile(file(ExchangeFile::FINESCO));
    const int cancels = count("3001818");
    submit(kReceipt);
    ASSERT_TRUE(waitFor([&] { return answered(); })) << commandsSent();
    EXPECT_EQ(read(ExchangeFile::SR_ERR).substr(0, std::string(kE503).size()), kE503);
    EXPECT_EQ(sim.model().documentState(), DocumentState::Receipt);
    EXPECT_EQ(count("3001818"), cancels) << commandsSent();
}

} // namespace
} // namespace tavor1

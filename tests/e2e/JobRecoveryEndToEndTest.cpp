// The headless driver killed in the middle of a job and started again, and
// documents a failed job leaves open on the register: run as a shop would,
// against a register simulator inside the test (loopback, free port).

#include "DriverProcess.h"

#include "exchange/JobJournal.h"
#include "platform/ByteFiles.h"

namespace tavor1 {
namespace {

using regsim::DocumentState;
using regsim::Fault;
using regsim::FaultMode;

const std::string kReceipt = "PLUD,N1,P250,Q2,:PANE COMUNE\r\nSALE,N2,P1000\r\nCASH,V1500\r\n";
const std::string kSaleWithoutPayment = "PLUD,N1,P250,Q2,:PANE COMUNE\r\n";
constexpr const char* kE520 = "E520: Errore di connessione rete\r\n";
constexpr const char* kE503 = "E503: Scontrino aperto, chiudere e riavviare l'esecuzione";

using DriverProcessTest = test::DriverProcess;

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
    startReady();
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
        ASSERT_NE(terminate(), -1);
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
    replyTimeoutMs = 1500;
    startReady();
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
    startReady();
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
    EXPECT_EQ(count("3001818"), 0);
}

class CancelOwed : public DriverProcessTest {
protected:
    // The link drops in mid-receipt and again when the driver asks whether
    // the document is open: the job fails with its receipt open and the
    // cancel owed.
    void failWithTheCancelOwed()
    {
        startReady();
        Fault drop;
        drop.mode = FaultMode::DropConnection;
        drop.command = "3007";
        sim.addFault(drop);
        const int states = count("1011");
        submit(kReceipt);
        ASSERT_TRUE(waitFor([&] { return count("3007") > 0; })) << commandsSent();
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
    EXPECT_NE(logFile().find("annullato"), std::string::npos);
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

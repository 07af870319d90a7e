// The headless driver killed in the middle of a job and started again, and
// documents a failed job leaves open on the register: run as a shop would,
// against a register simulator inside the test (loopback, free port).

#include "DriverProcess.h"

#include "exchange/JobJournal.h"
#include "platform/ByteFiles.h"

namespace tavor1 {
namespace {

using regsim::DocumentState;
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
    // The counter read before the document is refused ("ERR 16" to "1104"):
    // completion is told by whether the document is still open.
    bool countersRefused = false;
};

class KilledDuringAJob : public DriverProcessTest, public ::testing::WithParamInterface<CrashRow> { };

TEST_P(KilledDuringAJob, IsAnsweredAtTheNextStartAndNothingPrintsTwice)
{
    const CrashRow& row = GetParam();
    startReady();
    addFault(FaultMode::Silence, row.silentCommand);
    if (row.countersRefused)
        sim.failCommand("1104", regsim::err::PaperEnd);
    const int before = count(row.silentCommand);
    submit(kReceipt);
    ASSERT_TRUE(waitFor([&] { return count(row.silentCommand) > before; })) << commandsSent();
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
    EXPECT_EQ(job(kReceipt), "finesco") << commandsSent();
    EXPECT_EQ(receipts(), row.completed ? 2 : 1);

    const JournalReplay journal = JobJournal::read(dataDir);
    ASSERT_EQ(journal.jobs.size(), 2u);
    EXPECT_TRUE(journal.jobs[0].settled);
    EXPECT_TRUE(journal.jobs[0].answered);
}

INSTANTIATE_TEST_SUITE_P(CrashPoints, KilledDuringAJob,
                         ::testing::Values(CrashRow{"atThePayment", "3007", false},
                                           CrashRow{"afterTheClosing", "1109", true},
                                           CrashRow{"afterTheClosingCountersRefused", "1109", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A refusal in mid-document is answered and leaves nothing open on the
// register; the next job prints.
TEST_F(DriverProcessTest, ARefusalInMidDocumentLeavesNoDocumentOpen)
{
    startReady();
    sim.failCommand("3007", regsim::err::NegativeTotal);
    EXPECT_EQ(job(kReceipt).substr(0, 4), "E505") << commandsSent();
    EXPECT_EQ(sim.model().documentState(), DocumentState::Idle) << commandsSent();
    EXPECT_EQ(receipts(), 0);

    EXPECT_EQ(job(kReceipt), "finesco") << commandsSent();
    EXPECT_EQ(receipts(), 1);
}

class CancelOwed : public DriverProcessTest {
protected:
    // The link drops in mid-receipt and then whenever the driver asks
    // whether the document is open: the job fails with its receipt open and
    // the cancel owed. Then the register answers again.
    void failWithTheCancelOwed()
    {
        startReady();
        addFault(FaultMode::DropConnection, "3007");
        const int states = count("1011");
        submit(kReceipt);
        ASSERT_TRUE(waitFor([&] { return count("3007") > 0; })) << commandsSent();
        addFault(FaultMode::DropConnection, "1011", -1);
        ASSERT_TRUE(waitFor([&] { return answered(); })) << commandsSent();
        EXPECT_EQ(read(ExchangeFile::SR_ERR), kE520);
        EXPECT_EQ(sim.model().documentState(), DocumentState::Receipt) << "the cancel could not be made yet";
        // The job's own status query and the one after the failure; an idle
        // retry of the cancel may already have asked again.
        EXPECT_GE(count("1011"), states + 2) << commandsSent();
        sim.clearFaults();
    }
};

// An idle poll cancels it once the register answers again, and the next job
// prints instead of failing with E503.
TEST_F(CancelOwed, IsMadeWhileIdleAndTheNextJobPrints)
{
    failWithTheCancelOwed();
    // The driver waits longer after each failed try.
    ASSERT_TRUE(waitFor([&] { return sim.model().documentState() == DocumentState::Idle; }, 30000)) << commandsSent();
    EXPECT_EQ(job(kReceipt), "finesco") << commandsSent();
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
    EXPECT_EQ(job(kSaleWithoutPayment), "finesco") << commandsSent();

    const int cancels = count("3001818");
    EXPECT_EQ(job(kReceipt).substr(0, std::string(kE503).size()), kE503);
    EXPECT_EQ(sim.model().documentState(), DocumentState::Receipt);
    EXPECT_EQ(count("3001818"), cancels) << commandsSent();
}

} // namespace
} // namespace tavor1

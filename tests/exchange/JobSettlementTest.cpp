#include "exchange/JobSettlement.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavor1 {
namespace {

const RequestStamp kStamp = stampOfBytes("SALE,T=PANE,P=2,00\r\nTEND,T=1\r\n");

// The records a job had written when the driver was killed.
JournalJob jobStoppedAfter(const std::vector<JournalRecord>& records)
{
    std::string file = encodeJournalRecord(acceptedRecord(9, 1, kStamp));
    for (const JournalRecord& r : records)
        file += encodeJournalRecord(r);
    return replayJournal(file).jobs.at(0);
}

PosFields approved()
{
    PosFields pos{};
    pos[0] = "PAGA";
    pos[9] = "00";
    return pos;
}

const JournalRecord kCard = cardApprovedRecord(9, 1, kStamp, "250", approved());
const JournalRecord kCounters = countersRecord(9, "0004/0000/0004/0000/0002");
const JournalRecord kBegun = documentBegunRecord(9);
// The register refused a counter read ("ERR 16" to "1104"): nothing to compare.
const JournalRecord kCountersUnread = countersRecord(9, "");
const JournalRecord kSlip = slipBegunRecord(9);
const JournalRecord kDone = outcomeRecord(9, JobResult::Ok, "OK", "0005", "FINESCO", "TIME...\r\n", false, false);
const JournalRecord kFailedOpen = outcomeRecord(9, JobResult::Network, "E520", "", "SR_ERR", "E520\r\n", true, false);

// One row per point at which a crash can stop a job.
struct CrashRow {
    const char* name;
    std::vector<JournalRecord> written;
    DocumentProgress progress;
    RequestPresence request;
    SettlementNeed need;
    JobResult result;
    bool cancel;
    bool answer;
    bool summary;
    bool paymentBlock;
    bool asJournaled;
};

class SettlementAtStartup : public ::testing::TestWithParam<CrashRow> { };

TEST_P(SettlementAtStartup, SettlesTheInterruptedJob)
{
    const CrashRow& row = GetParam();
    const JournalJob job = jobStoppedAfter(row.written);
    EXPECT_EQ(settlementNeed(job), row.need);
    const SettlementDecision d = decideSettlement(job, row.progress, row.request);
    EXPECT_EQ(d.result, row.result);
    EXPECT_EQ(d.cancelDocument, row.cancel) << "cancel";
    EXPECT_EQ(d.answerHost, row.answer) << "answer";
    EXPECT_EQ(d.summaryFromRegister, row.summary) << "summary";
    EXPECT_EQ(d.paymentBlock, row.paymentBlock) << "payment block";
    EXPECT_EQ(d.answerAsJournaled, row.asJournaled) << "as journaled";
}

using P = DocumentProgress;
using R = RequestPresence;
using N = SettlementNeed;
using J = JobResult;

INSTANTIATE_TEST_SUITE_P(CrashPoints, SettlementAtStartup,
                         ::testing::Values(
                             // Before anything reached the register: the host is told the job failed
                             // and may send it again.
                             CrashRow{"afterAccepted",
                                      {},
                                      P::NotAsked,
                                      R::Same,
                                      N::WithoutRegister,
                                      J::Network,
                                      false,
                                      true,
                                      false,
                                      false,
                                      false},
                             CrashRow{"afterAcceptedRequestGone",
                                      {},
                                      P::NotAsked,
                                      R::Gone,
                                      N::WithoutRegister,
                                      J::Network,
                                      false,
                                      false,
                                      false,
                                      false,
                                      false},
                             CrashRow{"afterCardApproved",
                                      {kCard},
                                      P::NotAsked,
                                      R::Same,
                                      N::WithoutRegister,
                                      J::Network,
                                      false,
                                      true,
                                      false,
                                      true,
                                      false},
                             // The counters are read: from here the register decides.
                             CrashRow{"afterCountersUnchanged",
                                      {kCounters},
                                      P::NotCompleted,
                                      R::Same,
                                      N::RegisterCounters,
                                      J::Network,
                                      true,
                                      true,
                                      false,
                                      false,
                                      false},
                             CrashRow{"midDocumentUnchanged",
                                      {kCounters, kBegun},
                                      P::NotCompleted,
                                      R::Same,
                                      N::RegisterCounters,
                                      J::Network,
                                      true,
                                      true,
                                      false,
                                      false,
                                      false},
                             CrashRow{"midDocumentWithCardUnchanged",
                                      {kCard, kCounters, kBegun},
                                      P::NotCompleted,
                                      R::Same,
                                      N::RegisterCounters,
                                      J::Network,
                                      true,
                                      true,
                                      false,
                                      true,
                                      false},
                             CrashRow{"afterClosingCountersMoved",
                                      {kCounters, kBegun},
                                      P::Completed,
                                      R::Same,
                                      N::RegisterCounters,
                                      J::Ok,
                                      false,
                                      true,
                                      true,
                                      false,
                                      false},
                             CrashRow{"afterClosingWithCard",
                                      {kCard, kCounters, kBegun},
                                      P::Completed,
                                      R::Same,
                                      N::RegisterCounters,
                                      J::Ok,
                                      false,
                                      true,
                                      true,
                                      true,
                                      false},
                             // Counters that cannot be compared, with no document open on the
                             // register: it may be printed, so it is never reported failed (the
                             // host would send it again).
                             CrashRow{"counterlessRegister",
                                      {kCounters, kBegun},
                                      P::Unknown,
                                      R::Same,
                                      N::RegisterCounters,
                                      J::Ok,
                                      false,
                                      true,
                                      true,
                                      false,
                                      false},
                             CrashRow{"countersRefusedBeforeClosing",
                                      {kCountersUnread, kBegun},
                                      P::Unknown,
                                      R::Same,
                                      N::RegisterCounters,
                                      J::Ok,
                                      false,
                                      true,
                                      true,
                                      false,
                                      false},
                             CrashRow{"countersRefusedDocumentStillOpen",
                                      {kCountersUnread, kBegun},
                                      P::NotCompleted,
                                      R::Same,
                                      N::RegisterCounters,
                                      J::Network,
                                      true,
                                      true,
                                      false,
                                      false,
                                      false},
                             // The outcome slip follows a completed document; one not seen through
                             // is cancelled, and the receipt stays reported printed.
                             CrashRow{"midSlip",
                                      {kCard, kCounters, kBegun, kSlip},
                                      P::Completed,
                                      R::Same,
                                      N::RegisterCounters,
                                      J::Ok,
                                      true,
                                      true,
                                      true,
                                      true,
                                      false},
                             CrashRow{"midSlipCountersRefused",
                                      {kCard, kCountersUnread, kBegun, kSlip},
                                      P::NotCompleted,
                                      R::Same,
                                      N::RegisterCounters,
                                      J::Ok,
                                      true,
                                      true,
                                      true,
                                      true,
                                      false},
                             CrashRow{"afterSlipPrinted",
                                      {kCard, kCounters, kBegun, kSlip, slipPrintedRecord(9)},
                                      P::Completed,
                                      R::Same,
                                      N::RegisterCounters,
                                      J::Ok,
                                      false,
                                      true,
                                      true,
                                      true,
                                      false},
                             CrashRow{"midSlipOfRefusedPayment",
                                      {kSlip},
                                      P::NotAsked,
                                      R::Same,
                                      N::WithoutRegister,
                                      J::Network,
                                      true,
                                      true,
                                      false,
                                      false,
                                      false},
                             CrashRow{"completedButRequestReplaced",
                                      {kCounters, kBegun},
                                      P::Completed,
                                      R::Replaced,
                                      N::RegisterCounters,
                                      J::Ok,
                                      false,
                                      false,
                                      true,
                                      false,
                                      false},
                             CrashRow{"unchangedRequestGone",
                                      {kCounters, kBegun},
                                      P::NotCompleted,
                                      R::Gone,
                                      N::RegisterCounters,
                                      J::Network,
                                      true,
                                      false,
                                      false,
                                      false,
                                      false},
                             // The outcome was decided: the register is not asked again (a cancel
                             // may itself have moved the counters).
                             CrashRow{"decidedSuccessRequestAlreadyRemoved",
                                      {kCounters, kBegun, kDone},
                                      P::NotAsked,
                                      R::Gone,
                                      N::AnswerAsDecided,
                                      J::Ok,
                                      false,
                                      true,
                                      false,
                                      false,
                                      true},
                             CrashRow{"decidedSuccessRequestReplaced",
                                      {kCounters, kBegun, kDone},
                                      P::NotAsked,
                                      R::Replaced,
                                      N::AnswerAsDecided,
                                      J::Ok,
                                      false,
                                      false,
                                      false,
                                      false,
                                      true},
                             CrashRow{"decidedFailureBeforeItsCancel",
                                      {kCounters, kBegun, kFailedOpen},
                                      P::NotAsked,
                                      R::Same,
                                      N::AnswerAsDecided,
                                      J::Network,
                                      true,
                                      true,
                                      false,
                                      false,
                                      true},
                             CrashRow{"decidedFailureRequestGone",
                                      {kCounters, kBegun, kFailedOpen},
                                      P::NotAsked,
                                      R::Gone,
                                      N::AnswerAsDecided,
                                      J::Network,
                                      true,
                                      false,
                                      false,
                                      false,
                                      true},
                             CrashRow{"answeredButCancelPending",
                                      {kBegun, kFailedOpen, answeredRecord(9, "SR_ERR")},
                                      P::NotAsked,
                                      R::Gone,
                                      N::CancelOnly,
                                      J::Network,
                                      true,
                                      false,
                                      false,
                                      false,
                                      false},
                             CrashRow{"answeredAndCancelled",
                                      {kBegun, kFailedOpen, answeredRecord(9, "SR_ERR"), cancelledRecord(9)},
                                      P::NotAsked,
                                      R::Gone,
                                      N::Nothing,
                                      J::Network,
                                      false,
                                      false,
                                      false,
                                      false,
                                      false},
                             CrashRow{"answered",
                                      {kBegun, kDone, answeredRecord(9, "FINESCO")},
                                      P::NotAsked,
                                      R::Gone,
                                      N::Nothing,
                                      J::Ok,
                                      false,
                                      false,
                                      false,
                                      false,
                                      false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1

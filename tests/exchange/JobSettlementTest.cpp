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

// One row per point at which a crash can stop a job. What is decided beside
// the result, as words: "cancel" the document left open, "answer" the host,
// SR_OUT from the register's "summary", the card "payment" block, the answer
// as "journaled", in that order.
struct CrashRow {
    const char* name;
    std::vector<JournalRecord> written;
    DocumentProgress progress;
    RequestPresence request;
    SettlementNeed need;
    std::int16_t result;
    std::string decided;
};

class SettlementAtStartup : public ::testing::TestWithParam<CrashRow> { };

TEST_P(SettlementAtStartup, SettlesTheInterruptedJob)
{
    const CrashRow& row = GetParam();
    const JournalJob job = jobStoppedAfter(row.written);
    EXPECT_EQ(settlementNeed(job), row.need);
    const SettlementDecision d = decideSettlement(job, row.progress, row.request);
    EXPECT_EQ(codeNumber(d.result), row.result);
    std::string decided;
    for (const auto& [flag, word] : {std::pair{d.cancelDocument, "cancel"}, std::pair{d.answerHost, "answer"},
                                     std::pair{d.summaryFromRegister, "summary"}, std::pair{d.paymentBlock, "payment"},
                                     std::pair{d.answerAsJournaled, "journaled"}})
        if (flag)
            decided += (decided.empty() ? "" : " ") + std::string(word);
    EXPECT_EQ(decided, row.decided);
}

using enum DocumentProgress;
using enum RequestPresence;
using enum SettlementNeed;
constexpr std::int16_t kFailed = codeNumber(kInterruptedJobResult);

INSTANTIATE_TEST_SUITE_P(
    CrashPoints, SettlementAtStartup,
    // A row, its records, then what is decided.
    // clang-format off
    ::testing::ValuesIn(std::vector<CrashRow>{
        // Before anything reached the register: the host is told the job failed
        // and may send it again.
        {"afterAccepted", {}, NotAsked, Same, WithoutRegister, kFailed, "answer"},
        {"afterAcceptedRequestGone", {}, NotAsked, Gone, WithoutRegister, kFailed, ""},
        {"afterCardApproved", {kCard}, NotAsked, Same, WithoutRegister, kFailed, "answer payment"},
        // The counters are read: from here the register decides.
        {"afterCountersUnchanged", {kCounters}, NotCompleted, Same, RegisterCounters, kFailed, "cancel answer"},
        {"midDocumentUnchanged", {kCounters, kBegun}, NotCompleted, Same, RegisterCounters, kFailed, "cancel answer"},
        {"midDocumentWithCardUnchanged", {kCard, kCounters, kBegun},
         NotCompleted, Same, RegisterCounters, kFailed, "cancel answer payment"},
        {"afterClosingCountersMoved", {kCounters, kBegun}, Completed, Same, RegisterCounters, 0, "answer summary"},
        {"afterClosingWithCard", {kCard, kCounters, kBegun},
         Completed, Same, RegisterCounters, 0, "answer summary payment"},
        // Counters that cannot be compared, with no document open on the
        // register: it may be printed, so it is never reported failed (the
        // host would send it again).
        {"counterlessRegister", {kCounters, kBegun}, Unknown, Same, RegisterCounters, 0, "answer summary"},
        {"countersRefusedBeforeClosing", {kCountersUnread, kBegun},
         Unknown, Same, RegisterCounters, 0, "answer summary"},
        {"countersRefusedDocumentStillOpen", {kCountersUnread, kBegun},
         NotCompleted, Same, RegisterCounters, kFailed, "cancel answer"},
        // The outcome slip follows a completed document; one not seen through
        // is cancelled, and the receipt stays reported printed.
        {"midSlip", {kCard, kCounters, kBegun, kSlip},
         Completed, Same, RegisterCounters, 0, "cancel answer summary payment"},
        {"midSlipCountersRefused", {kCard, kCountersUnread, kBegun, kSlip},
         NotCompleted, Same, RegisterCounters, 0, "cancel answer summary payment"},
        {"afterSlipPrinted", {kCard, kCounters, kBegun, kSlip, slipPrintedRecord(9)},
         Completed, Same, RegisterCounters, 0, "answer summary payment"},
        {"midSlipOfRefusedPayment", {kSlip}, NotAsked, Same, WithoutRegister, kFailed, "cancel answer"},
        {"completedButRequestReplaced", {kCounters, kBegun}, Completed, Replaced, RegisterCounters, 0, "summary"},
        {"unchangedRequestGone", {kCounters, kBegun}, NotCompleted, Gone, RegisterCounters, kFailed, "cancel"},
        // The outcome was decided: the register is not asked again (a cancel
        // may itself have moved the counters).
        {"decidedSuccessRequestAlreadyRemoved", {kCounters, kBegun, kDone},
         NotAsked, Gone, AnswerAsDecided, 0, "answer journaled"},
        {"decidedSuccessRequestReplaced", {kCounters, kBegun, kDone},
         NotAsked, Replaced, AnswerAsDecided, 0, "journaled"},
        {"decidedFailureBeforeItsCancel", {kCounters, kBegun, kFailedOpen},
         NotAsked, Same, AnswerAsDecided, kFailed, "cancel answer journaled"},
        {"decidedFailureRequestGone", {kCounters, kBegun, kFailedOpen},
         NotAsked, Gone, AnswerAsDecided, kFailed, "cancel journaled"},
        {"answeredButCancelPending", {kBegun, kFailedOpen, answeredRecord(9, "SR_ERR")},
         NotAsked, Gone, CancelOnly, kFailed, "cancel"},
        {"answeredAndCancelled", {kBegun, kFailedOpen, answeredRecord(9, "SR_ERR"), cancelledRecord(9)},
         NotAsked, Gone, Nothing, kFailed, ""},
        {"answered", {kBegun, kDone, answeredRecord(9, "FINESCO")}, NotAsked, Gone, Nothing, 0, ""}}),
    // clang-format on
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1

#pragma once

// What becomes of a job that the journal shows unfinished when the driver
// starts: a crash, a power cut or a signal stopped it somewhere between the
// go signal and the answer. The rules here decide; the driver carries them
// out on the register and in the data directory.

#include "exchange/JobJournal.h"
#include "exchange/JobResult.h"

#include <cstdint>

namespace tavor1 {

// What the register's document counters say about a document begun before
// the crash.
enum class DocumentProgress {
    NotAsked, // the register was not asked (nothing of the document reached it)
    Completed, // the counters moved: the document was completed
    NotCompleted, // the counters are unchanged: the document is open or was never closed
    Unknown, // the counters cannot be compared and the register has no document open
};

// What became of a cancel of a document left open on the register.
enum class DocumentCancel {
    Unreachable, // the register did not answer: the cancel is still owed
    NothingOpen, // the register has no document open
    Cancelled, // the open document was cancelled
    StillOpen, // the cancel was sent and the document is still open
};

// The request file of the job's channel as start-up found it.
enum class RequestPresence {
    Same, // still the journaled request
    Gone, // no request file
    Replaced, // a different request
};

// What the settlement of one job needs first.
enum class SettlementNeed {
    Nothing, // the job is over
    AnswerAsDecided, // the outcome was decided; only the answer may be missing
    WithoutRegister, // nothing of the document reached the register
    RegisterCounters, // a document was begun: the register's counters decide
    CancelOnly, // answered, but the document it left open still waits for its cancel
};

SettlementNeed settlementNeed(const JournalJob& job);

struct SettlementDecision {
    // Ok: the document was completed; otherwise the failure the host is told.
    JobResult result = JobResult::Ok;
    // Cancel the document left open on the register (when one is open).
    bool cancelDocument = false;
    // Answer the host (SR_OUT and FINESCO, or SR_ERR); otherwise the outcome
    // goes only to the journal and LOGFILE.TXT.
    bool answerHost = false;
    // SR_OUT is the register's summary of the completed document.
    bool summaryFromRegister = false;
    // SR_OUT carries the card-payment block of the job's approved payment.
    bool paymentBlock = false;
    // The answer is the one journaled with the outcome.
    bool answerAsJournaled = false;
};

// The job result of an interrupted document that was not completed.
inline constexpr JobResult kInterruptedJobResult = JobResult::Network;

// progress matters only for SettlementNeed::RegisterCounters.
SettlementDecision decideSettlement(const JournalJob& job, DocumentProgress progress, RequestPresence request);

} // namespace tavor1

#include "exchange/JobSettlement.h"

namespace tavor1 {

SettlementNeed settlementNeed(const JournalJob& job)
{
    if (job.hasOutcome) {
        if (job.unanswered())
            return SettlementNeed::AnswerAsDecided;
        return job.documentStillOpen() ? SettlementNeed::CancelOnly : SettlementNeed::Nothing;
    }
    // The counters are read just before the document's first command: from
    // there on the register may hold part of it.
    if (job.documentBegun || job.countersRead)
        return SettlementNeed::RegisterCounters;
    return SettlementNeed::WithoutRegister;
}

SettlementDecision decideSettlement(const JournalJob& job, DocumentProgress progress, RequestPresence request)
{
    SettlementDecision d;
    switch (settlementNeed(job)) {
    case SettlementNeed::Nothing:
        d.result = job.result;
        return d;
    case SettlementNeed::CancelOnly:
        d.result = job.result;
        d.cancelDocument = true;
        return d;
    case SettlementNeed::AnswerAsDecided:
        d.result = job.result;
        d.answerAsJournaled = true;
        d.cancelDocument = job.leftOpen && !job.cancelled;
        // A completed job's request is removed just before its FINESCO is
        // written, so a missing request does not mean the host gave up; a
        // different one does.
        d.answerHost =
            job.result == JobResult::Ok ? request != RequestPresence::Replaced : request == RequestPresence::Same;
        return d;
    case SettlementNeed::WithoutRegister:
        d.result = kInterruptedJobResult;
        // The slip of a refused payment.
        d.cancelDocument = job.slipMayBeOpen();
        break;
    case SettlementNeed::RegisterCounters:
        // A document the register cannot vouch for is not reported printed: a
        // non-fiscal document moves no counter and is reported failed, as
        // after a lost connection.
        // The slip follows only a completed document. Counters that cannot
        // be compared (never read, or read only in part) with no document
        // left open on the register do not show the document unchanged: it
        // may well be printed, and a failure would have the host send it
        // again. It is reported completed with the register's last summary.
        if (progress == DocumentProgress::Completed || progress == DocumentProgress::Unknown || job.slipBegun) {
            d.result = JobResult::Ok;
            d.summaryFromRegister = true;
            // The payment outcome slip that follows it is the driver's own
            // document: one the crash cut short is cancelled. A document the
            // request itself left open is never touched.
            d.cancelDocument = job.slipMayBeOpen();
        } else {
            d.result = kInterruptedJobResult;
            d.cancelDocument = true;
        }
        break;
    }
    d.answerHost = request == RequestPresence::Same;
    // An approved card payment has charged the customer whatever became of
    // the document.
    d.paymentBlock = job.cardApproved;
    return d;
}

} // namespace tavor1

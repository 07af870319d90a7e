#pragma once

#include "driver/SendEngine.h"
#include "exchange/ExchangeFiles.h"
#include "exchange/JobJournal.h"
#include "exchange/JobSettlement.h"
#include "exchange/LogFile.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tavor1 {

class Clock;
struct POSData;

// The job journal as the driver keeps it: each step of the running job is
// recorded before it is taken; a job a crash interrupted is settled at the
// next start as soon as the register answers; and a document a failed job
// left open on the register is cancelled, at once or before the next job.
//
// A document the request itself leaves open (a sale without payment, to be
// completed at the register) belongs to the operator and is never touched:
// only a job that failed after its document began counts as leaving one open.
class JobRecovery {
public:
    JobRecovery(JobJournal& journal, ExchangeFiles& files, SendEngine& send, const Clock& clock);

    // Start-up, before the cleanup of the exchange files: reads the journal
    // and notes the jobs to settle. Returns, per channel, whether the cleanup
    // must spare SR_DATI: only while it is still the request of the
    // interrupted job.
    std::array<bool, kChannelCount> prepareAtStartup();

    // Settles what the start-up found, as far as the register allows, and
    // retries a cancel still owed. False while an interrupted job waits for
    // the register: no new job may start before it is settled, or the host
    // could have a document printed twice.
    bool settlePending();
    bool hasPending() const { return !m_pending.empty(); }

    // The steps of a running job. Each returns once its record is on disk.
    void jobAccepted(int channel, const std::string& requestPath);
    void cardApproved(const POSData& pos);
    DocumentHooks documentHooks();
    // The job's outcome, decided before the host is answered. A job that
    // failed after its document began may have left it open: the register is
    // asked and the document cancelled at once when the connection stands
    // (registerConnected); otherwise before the next job. answerBytes: SR_OUT
    // on success, the SR_ERR line otherwise.
    void jobDecided(JobResult result, const std::string& text, const std::string& answerBytes, bool registerConnected);
    // Around the payment outcome slip. connectionStood: the connection was
    // still up after its last command, so the slip was closed.
    void slipBegun();
    void slipEnded(bool connectionStood);
    // After the answer was written; answered tells whether it is in place.
    void jobAnswered(bool answered);
    // A pending answer of an earlier job has been written by a later poll.
    void answerDelivered(std::uint64_t job);
    // The job ended without an outcome (the driver is closing under it): its
    // record stays in flight and the next start settles it.
    void jobAbandoned();

    // The register reported an open document at the start of a job. True
    // when the journal says the driver left it open and it is now cancelled:
    // the job goes on. False when the document is not the driver's (the
    // operator's sale without payment, say) or could not be cancelled.
    bool cancelDocumentLeftOpen();
    // The register has no document open: a cancel still owed is void.
    void noDocumentOpen();

    // A document a failed job left open that could not be cancelled then (the
    // link was down) is not left on the register while no job comes: it is
    // cancelled at an idle poll as soon as the register answers. After a try
    // that found the register unreachable, the next waits a little longer,
    // up to a minute.
    bool cancelOwed() const { return m_journal.documentLeftOpen().has_value(); }
    bool owedCancelDue() const;
    void retryOwedCancel();

    // The running job's journal number; 0 when none or unjournaled.
    std::uint64_t currentJob() const { return m_job; }

private:
    bool answerTakenByHost(const JournalJob& job, RequestPresence presence) const;
    static bool awaitsAnswerWithoutRequest(const JournalJob& job, RequestPresence presence);
    bool openDocumentRuledOut(const JournalJob& job, DocumentProgress& progress);
    // Carries out a decision for a job and records each step.
    void settle(const JournalJob& job, SettlementNeed need, DocumentProgress progress);
    void writeAnswer(const JournalJob& job, const std::string& answer, const std::string& answerBytes);
    // Cancels the job's open document; records and logs the cancel.
    bool cancelFor(std::uint64_t job, int channel);
    void log(const std::string& text) const;

    JobJournal& m_journal;
    ExchangeFiles& m_files;
    SendEngine& m_send;
    LogFile m_log;

    // Jobs that start-up found unsettled, with their request as it was then.
    std::map<std::uint64_t, RequestPresence> m_pending;
    std::uint64_t m_job = 0;
    std::chrono::steady_clock::time_point m_nextCancelTry{};
    std::chrono::seconds m_cancelBackoff{0};
};

// "SCONTR. N." of an SR_OUT, the printed document's number; empty when none.
std::string receiptNumberOf(const std::string& srOut);

} // namespace tavor1

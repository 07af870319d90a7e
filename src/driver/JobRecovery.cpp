#include "driver/JobRecovery.h"

#include "driver/PaymentRecord.h"
#include "payment/POSData.h"
#include "payment/SrOutFile.h"
#include "platform/ByteFiles.h"
#include "transmission/JobOutcome.h"

#include <algorithm>

namespace tavor1 {

namespace {

constexpr const char* kAnswerDone = "FINESCO";
constexpr const char* kAnswerError = "SR_ERR";
constexpr const char* kAnswerNone = "none";

// Results after which nothing of the document can be open: it never began,
// or the driver itself cancelled it.
bool failureClosesDocument(JobResult result)
{
    return result == JobResult::CancelledByOperator || result == JobResult::NegativeVat ||
           result == JobResult::ConversionFailed || result == JobResult::OutputUnavailable ||
           result == JobResult::RequestVanished;
}

std::string outcomeText(JobResult result)
{
    return result == JobResult::Ok ? jobStatusText(result, "") : jobErrorText(result, "");
}

} // namespace

std::string receiptNumberOf(const std::string& srOut)
{
    const std::string mark = "SCONTR. N.";
    const std::size_t at = srOut.rfind(mark);
    if (at == std::string::npos)
        return {};
    const std::size_t from = at + mark.size();
    const std::size_t end = srOut.find_first_of(",\r\n", from);
    return srOut.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

JobRecovery::JobRecovery(JobJournal& journal, ExchangeFiles& files, SendEngine& send, const Clock& clock)
    : m_journal(journal)
    , m_files(files)
    , m_send(send)
    , m_log(files.dataDir(), clock)
{
}

void JobRecovery::log(const std::string& text) const
{
    m_log.append(text);
}

std::array<bool, kChannelCount> JobRecovery::prepareAtStartup()
{
    std::array<bool, kChannelCount> spare{};
    m_pending.clear();
    if (!m_journal.open())
        log("Giornale lavori " + m_journal.path() + " non leggibile");
    // A copy: a record appended below may reorder the journal's state.
    const std::vector<JournalJob> jobs = m_journal.state().jobs;
    for (const JournalJob& job : jobs) {
        if (settlementNeed(job) == SettlementNeed::Nothing || !isValidChannel(job.channel))
            continue;
        RequestPresence presence = RequestPresence::Gone;
        if (const std::optional<RequestStamp> now = stampOfFile(m_files.path(ExchangeFile::SR_DATI, job.channel)))
            presence = now->sameContent(job.request) ? RequestPresence::Same : RequestPresence::Replaced;
        if (answerTakenByHost(job, presence)) {
            m_journal.append(answeredRecord(job.id, job.answer));
            log("Lavoro " + std::to_string(job.id) + " canale " + std::to_string(job.channel) +
                ": risposta gia' ritirata dall'host prima dell'interruzione");
            const JournalJob* now = m_journal.state().job(job.id);
            if (!now || settlementNeed(*now) == SettlementNeed::Nothing)
                continue;
        } else if (awaitsAnswerWithoutRequest(job, presence)) {
            // The cleanup below removes SR_OUT and FINESCO, the evidence that
            // the host has not taken the answer yet: the journal keeps it, so
            // that a crash before the answer is written again does not read
            // the empty directory as an answer taken.
            m_journal.append(outcomeRecord(job.id, job.result, job.resultText, job.receiptNumber, job.answer,
                                           job.answerBytes, job.leftOpen, true));
        }
        m_pending[job.id] = presence;
        // A completed job keeps no request; a failed one keeps it for the host.
        if (presence == RequestPresence::Same && !job.answered)
            spare[static_cast<std::size_t>(job.channel - 1)] = true;
    }
    return spare;
}

// A printed job's answer is written in the order SR_OUT, the removal of
// SR_DATI, FINESCO, and the journal records it after: a crash in between
// leaves it unrecorded. The host removes FINESCO and SR_OUT once it has read
// them, so with all three files gone it has its answer, and writing FINESCO
// again would answer its go signal twice (a host already writing its next
// request would take that FINESCO for the new one). Read before the start-up
// cleanup removes the result files.
bool JobRecovery::answerTakenByHost(const JournalJob& job, RequestPresence presence) const
{
    return awaitsAnswerWithoutRequest(job, presence) && !m_files.exists(ExchangeFile::SR_OUT, job.channel) &&
           !m_files.exists(ExchangeFile::FINESCO, job.channel);
}

// A printed job whose answer was begun (SR_DATI is removed) but not recorded,
// and that no earlier start has taken in hand.
bool JobRecovery::awaitsAnswerWithoutRequest(const JournalJob& job, RequestPresence presence)
{
    return settlementNeed(job) == SettlementNeed::AnswerAsDecided && job.answer == kAnswerDone && !job.settled &&
           presence == RequestPresence::Gone;
}

bool JobRecovery::settlePending()
{
    bool blocked = false;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        const JournalJob* found = m_journal.state().job(it->first);
        const SettlementNeed need = found ? settlementNeed(*found) : SettlementNeed::Nothing;
        if (need == SettlementNeed::Nothing) {
            it = m_pending.erase(it);
            continue;
        }
        const JournalJob job = *found;
        DocumentProgress progress = DocumentProgress::NotAsked;
        if (need == SettlementNeed::RegisterCounters) {
            progress = m_send.documentProgressSince(job.countersBefore);
            if (progress == DocumentProgress::NotAsked) {
                // The register does not answer yet: ask again at the next poll.
                blocked = true;
                ++it;
                continue;
            }
            if (progress == DocumentProgress::Unknown && !openDocumentRuledOut(job, progress)) {
                blocked = true;
                ++it;
                continue;
            }
        }
        settle(job, need, progress);
        // Tried once: an answer that could not be written stays unanswered in
        // the journal for the next start, and a cancel still owed is made
        // before the next job that finds the document open.
        it = m_pending.erase(it);
    }
    return !blocked;
}

// The counters before the document were never read, or only in part: they
// cannot tell whether it completed. A document still open on the register
// did not complete, and is cancelled; with none open the document may have
// been printed. False when the register does not answer: ask again later.
bool JobRecovery::openDocumentRuledOut(const JournalJob& job, DocumentProgress& progress)
{
    if (job.slipBegun)
        return true;
    switch (m_send.cancelOpenDocument()) {
    case DocumentCancel::Unreachable:
        return false;
    case DocumentCancel::NothingOpen:
        log("Lavoro " + std::to_string(job.id) +
            ": contatori del registratore non confrontabili, nessun documento aperto");
        return true;
    case DocumentCancel::Cancelled:
    case DocumentCancel::StillOpen:
        log("Lavoro " + std::to_string(job.id) + ": contatori del registratore non confrontabili, documento aperto");
        progress = DocumentProgress::NotCompleted;
        return true;
    }
    return false;
}

void JobRecovery::settle(const JournalJob& job, SettlementNeed need, DocumentProgress progress)
{
    const RequestPresence presence = m_pending[job.id];
    const SettlementDecision d = decideSettlement(job, progress, presence);
    const std::string channel = std::to_string(job.channel);

    if (need == SettlementNeed::CancelOnly) {
        cancelFor(job.id, job.channel);
        return;
    }

    std::string answer;
    std::string answerBytes;
    if (d.answerAsJournaled) {
        answer = job.answer;
        answerBytes = job.answerBytes;
    } else {
        // Decided now, and journaled before anything is done about it: a
        // crash during the settlement finds the decision, and a cancel that
        // has moved the counters is never read as a completed document.
        const POSData pos = posDataOf(job.pos);
        if (d.result == JobResult::Ok) {
            answer = kAnswerDone;
            answerBytes = d.summaryFromRegister ? m_send.registerSummary(job.cardApproved ? &pos : nullptr) : "";
        } else {
            answer = kAnswerError;
            answerBytes = jobErrorText(d.result, "") + "\r\n";
        }
        if (!d.answerHost)
            answer = kAnswerNone;
        m_journal.append(outcomeRecord(job.id, d.result, outcomeText(d.result), receiptNumberOf(answerBytes), answer,
                                       answerBytes, d.cancelDocument, true));
        log("Lavoro " + std::to_string(job.id) + " canale " + channel +
            " interrotto: " + (d.result == JobResult::Ok ? "documento completato" : "documento non completato") +
            (d.answerHost ? ", risposta " + answer : ", richiesta non piu' presente: esito solo nel giornale"));
    }

    if (d.cancelDocument)
        cancelFor(job.id, job.channel);
    if (!d.answerHost) {
        m_journal.append(answeredRecord(job.id, kAnswerNone));
        return;
    }
    writeAnswer(job, answer, answerBytes);
}

void JobRecovery::writeAnswer(const JournalJob& job, const std::string& answer, const std::string& answerBytes)
{
    const int channel = job.channel;
    bool written = false;
    if (answer == kAnswerDone) {
        written = replaceFileBytes(m_files.path(ExchangeFile::SR_OUT, channel), answerBytes);
        m_files.deleteErrFile(channel);
        m_files.deleteDatiFile(channel);
        written = replaceFileBytes(m_files.path(ExchangeFile::FINESCO, channel), kFinescoContent) && written;
    } else {
        // The card was charged whatever became of the document: the host
        // finds the approval in SR_OUT.
        if (job.cardApproved) {
            std::string out;
            appendPaymentBlock(out, posDataOf(job.pos));
            replaceFileBytes(m_files.path(ExchangeFile::SR_OUT, channel), out);
        }
        written = replaceFileBytes(m_files.path(ExchangeFile::SR_ERR, channel), answerBytes);
    }
    if (written)
        m_journal.append(answeredRecord(job.id, answer));
    else
        log("Risposta " + answer + " del lavoro " + std::to_string(job.id) + " non scritta");
}

bool JobRecovery::cancelFor(std::uint64_t job, int channel)
{
    const std::string which = "lavoro " + std::to_string(job) + " canale " + std::to_string(channel);
    const JournalJob* recorded = m_journal.state().job(job);
    switch (m_send.cancelOpenDocument(recorded && recorded->slipMayBeOpen())) {
    case DocumentCancel::Unreachable:
        log("Documento lasciato aperto dal " + which + ": registratore non raggiungibile, annullo rimandato");
        return false;
    case DocumentCancel::StillOpen:
        log("Documento lasciato aperto dal " + which + ": annullo non riuscito");
        return false;
    case DocumentCancel::NothingOpen:
        m_journal.append(cancelledRecord(job));
        log("Nessun documento aperto dal " + which);
        return true;
    case DocumentCancel::Cancelled:
        m_journal.append(cancelledRecord(job));
        log("Documento lasciato aperto dal " + which + " annullato");
        return true;
    }
    return false;
}

void JobRecovery::jobAccepted(int channel, const std::string& requestPath)
{
    const RequestStamp stamp = stampOfFile(requestPath).value_or(RequestStamp{});
    m_job = m_journal.beginJob(channel, stamp);
    if (m_job == 0)
        log("Giornale lavori non scrivibile: lavoro canale " + std::to_string(channel) + " non registrato");
}

void JobRecovery::cardApproved(const POSData& pos)
{
    const JournalJob* job = m_journal.state().job(m_job);
    if (!job)
        return;
    m_journal.append(cardApprovedRecord(m_job, job->channel, job->request, pos.Importo, posFields(pos)));
}

DocumentHooks JobRecovery::documentHooks()
{
    DocumentHooks hooks;
    if (m_job == 0)
        return hooks;
    const std::uint64_t id = m_job;
    hooks.countersRead = [this, id](const std::string& counters) { m_journal.append(countersRecord(id, counters)); };
    hooks.documentBegun = [this, id] { m_journal.append(documentBegunRecord(id)); };
    return hooks;
}

void JobRecovery::jobDecided(JobResult result, const std::string& text, const std::string& answerBytes,
                             bool registerConnected)
{
    const JournalJob* job = m_journal.state().job(m_job);
    if (!job)
        return;
    // The outcome slip follows the job's document whatever its result; one
    // not seen through may be open even when the document was printed.
    const bool mayBeOpen =
        (result != JobResult::Ok && job->documentBegun && !failureClosesDocument(result)) || job->slipMayBeOpen();
    const int channel = job->channel;
    m_journal.append(outcomeRecord(m_job, result, text, result == JobResult::Ok ? receiptNumberOf(answerBytes) : "",
                                   result == JobResult::Ok ? kAnswerDone : kAnswerError, answerBytes, mayBeOpen,
                                   false));
    if (mayBeOpen && registerConnected)
        cancelFor(m_job, channel);
}

void JobRecovery::slipBegun()
{
    if (m_job != 0)
        m_journal.append(slipBegunRecord(m_job));
}

void JobRecovery::slipEnded(bool connectionStood)
{
    if (m_job == 0)
        return;
    if (connectionStood)
        m_journal.append(slipPrintedRecord(m_job));
    else
        log("Esito pagamento del lavoro " + std::to_string(m_job) +
            " interrotto: lo scontrino non fiscale va annullato");
}

void JobRecovery::jobAnswered(bool answered)
{
    const JournalJob* job = m_journal.state().job(m_job);
    if (job && job->hasOutcome && answered)
        m_journal.append(answeredRecord(m_job, job->answer));
    m_job = 0;
    m_journal.compactIfLarge();
}

void JobRecovery::answerDelivered(std::uint64_t job)
{
    const JournalJob* recorded = job ? m_journal.state().job(job) : nullptr;
    if (recorded && recorded->unanswered())
        m_journal.append(answeredRecord(job, recorded->answer));
}

void JobRecovery::jobAbandoned()
{
    m_job = 0;
}

void JobRecovery::noDocumentOpen()
{
    while (const std::optional<JournalJob> open = m_journal.documentLeftOpen()) {
        if (!m_journal.append(cancelledRecord(open->id)))
            return;
        log("Documento lasciato aperto dal lavoro " + std::to_string(open->id) + " canale " +
            std::to_string(open->channel) + " non piu' aperto sul registratore");
    }
}

bool JobRecovery::owedCancelDue() const
{
    return std::chrono::steady_clock::now() >= m_nextCancelTry && cancelOwed();
}

void JobRecovery::retryOwedCancel()
{
    using namespace std::chrono_literals;
    if (!owedCancelDue())
        return;
    if (cancelDocumentLeftOpen()) {
        m_cancelBackoff = 0s;
        return;
    }
    m_cancelBackoff = std::clamp<std::chrono::seconds>(m_cancelBackoff * 2, 5s, 60s);
    m_nextCancelTry = std::chrono::steady_clock::now() + m_cancelBackoff;
}

bool JobRecovery::cancelDocumentLeftOpen()
{
    const std::optional<JournalJob> open = m_journal.documentLeftOpen();
    if (!open)
        return false;
    return cancelFor(open->id, open->channel);
}

} // namespace tavor1

#include "driver/CardApprovals.h"

#include "exchange/ApprovalReuse.h"
#include "platform/Clock.h"

namespace tavor1 {

CardApprovals::CardApprovals(JobJournal& journal, const ExchangeFiles& files, const Clock& clock,
                             std::int64_t boundSeconds)
    : m_journal(journal)
    , m_files(files)
    , m_clock(clock)
    , m_log(files.dataDir(), clock)
    , m_boundSeconds(boundSeconds)
{
}

void CardApprovals::giveUp(const OpenApproval& approval, std::uint64_t byJob, const char* reason)
{
    if (!m_journal.append(approvalNotUsedRecord(approval, byJob, reason)))
        return;
    m_log.append(std::string("Approvazione POS NON USATA del lavoro ") + std::to_string(approval.approvedInJob) +
                 " canale " + std::to_string(approval.channel) + ": " +
                 approvalSummary(approval.amount, approval.pos, approval.approvedAt) + "; " + reason +
                 ": da stornare al cliente");
}

std::optional<PosFields> CardApprovals::approvalFor(std::uint64_t job)
{
    m_reuseNote.clear();
    const JournalJob* current = m_journal.state().job(job);
    if (!current)
        return std::nullopt;
    const int channel = current->channel;
    const std::optional<RequestStamp> request = current->request;
    const std::string now = journalTime(m_clock.now());

    std::optional<PosFields> reused;
    for (const OpenApproval& a : openApprovals(m_journal.state())) {
        if (a.carrierInFlight || a.lastJob == job)
            continue;
        switch (decideApprovalReuse(a, channel, request, now, m_boundSeconds)) {
        case ApprovalVerdict::Reuse:
            // Used only once it is on disk: a reuse the journal does not know
            // would later be listed as not used and refunded.
            if (!reused && m_journal.append(approvalReusedRecord(job, a))) {
                reused = a.pos;
                m_reuseNote = "lavoro " + std::to_string(job) + " canale " + std::to_string(channel) +
                              ", approvazione del lavoro " + std::to_string(a.approvedInJob) + " del " + a.approvedAt;
                m_log.append("Approvazione POS riusata dal lavoro " + std::to_string(job) + " canale " +
                             std::to_string(channel) + " (stessa richiesta del lavoro " + std::to_string(a.lastJob) +
                             "): " + approvalSummary(a.amount, a.pos, a.approvedAt));
            }
            break;
        case ApprovalVerdict::RequestChanged:
            giveUp(a, job, kNotUsedNewRequest);
            break;
        case ApprovalVerdict::Expired:
            giveUp(a, job, kNotUsedExpired);
            break;
        case ApprovalVerdict::Keep: {
            // Another channel's approval past the bound can no longer be
            // reused: it is given up now rather than at that channel's next job.
            const std::optional<std::int64_t> elapsed = secondsBetween(a.approvedAt, now);
            if (elapsed && *elapsed > m_boundSeconds)
                giveUp(a, job, kNotUsedExpired);
            break;
        }
        case ApprovalVerdict::Unsettled:
            break;
        }
    }
    return reused;
}

void CardApprovals::spareKeptRequests(std::array<bool, kChannelCount>& spare) const
{
    for (const OpenApproval& a : openApprovals(m_journal.state())) {
        if (!isValidChannel(a.channel))
            continue;
        const std::optional<RequestStamp> now = stampOfFile(m_files.path(ExchangeFile::SR_DATI, a.channel));
        if (now && now->mtime == a.request.mtime && now->sameContent(a.request))
            spare[static_cast<std::size_t>(a.channel - 1)] = true;
    }
}

} // namespace tavor1

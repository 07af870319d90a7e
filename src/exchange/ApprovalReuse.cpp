#include "exchange/ApprovalReuse.h"

#include "platform/NumberText.h"

#include <map>

namespace tavor1 {

namespace {

const std::size_t kAuthorizationCode = posFieldIndex("AuthorizationCode");
const std::size_t kTerminalId = posFieldIndex("TerminalId");

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::optional<std::int64_t> secondsOf(const std::string& text)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6)
        return std::nullopt;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60)
        return std::nullopt;
    return daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 + mi * 60 + s;
}

RequestStamp requestOf(const JournalRecord& r)
{
    RequestStamp s;
    s.size = static_cast<std::uint64_t>(leadingNumber(r.get(journalkey::RequestSize)));
    s.digest = r.get(journalkey::RequestDigest);
    s.mtime = leadingNumber(r.get(journalkey::RequestMtime));
    return s;
}

// Walks the records and hands each approval's end to the callbacks.
template <typename OnNotUsed>
std::map<std::uint64_t, OpenApproval> foldApprovals(const JournalReplay& journal, OnNotUsed onNotUsed)
{
    using K = JournalRecordKind;
    std::map<std::uint64_t, OpenApproval> open;
    for (const JournalRecord& r : journal.records) {
        switch (r.kind) {
        case K::CardApproved: {
            OpenApproval a;
            a.approvedInJob = a.lastJob = r.job;
            a.channel = static_cast<int>(leadingNumber(r.get(journalkey::Channel)));
            a.request = requestOf(r);
            a.amount = r.get(journalkey::Amount);
            for (std::size_t i = 0; i < kPosFieldNames.size(); ++i)
                a.pos[i] = r.get(std::string(journalkey::PosPrefix) + kPosFieldNames[i]);
            a.approvedAt = r.time;
            open[r.job] = std::move(a);
            break;
        }
        case K::ApprovalReused: {
            auto it = open.find(static_cast<std::uint64_t>(leadingNumber(r.get(journalkey::FromJob))));
            if (it != open.end())
                it->second.lastJob = r.job;
            break;
        }
        case K::ApprovalNotUsed: {
            auto it = open.find(r.job);
            if (it != open.end()) {
                onNotUsed(it->second, r);
                open.erase(it);
            }
            break;
        }
        case K::Outcome:
            // A printed document used the approval it carried.
            if (leadingNumber(r.get(journalkey::Result)) == 0)
                for (auto it = open.begin(); it != open.end();)
                    it = it->second.lastJob == r.job ? open.erase(it) : std::next(it);
            break;
        default:
            break;
        }
    }
    for (auto& [id, a] : open) {
        const JournalJob* carrier = journal.job(a.lastJob);
        a.carrierInFlight = carrier && carrier->inFlight();
    }
    return open;
}

} // namespace

std::vector<OpenApproval> openApprovals(const JournalReplay& journal)
{
    std::vector<OpenApproval> out;
    for (auto& [id, a] : foldApprovals(journal, [](const OpenApproval&, const JournalRecord&) {}))
        out.push_back(std::move(a));
    return out;
}

std::vector<std::uint64_t> givenUpApprovalJobs(const JournalReplay& journal)
{
    std::vector<std::uint64_t> jobs;
    foldApprovals(journal, [&](const OpenApproval& a, const JournalRecord&) { jobs.push_back(a.approvedInJob); });
    return jobs;
}

std::optional<OpenApproval> openApprovalOf(const JournalReplay& journal, int channel)
{
    std::optional<OpenApproval> found;
    // The newest, should a journal ever hold two.
    for (OpenApproval& a : openApprovals(journal))
        if (a.channel == channel)
            found = std::move(a);
    return found;
}

std::optional<std::int64_t> secondsBetween(const std::string& from, const std::string& to)
{
    const auto a = secondsOf(from);
    const auto b = secondsOf(to);
    if (!a || !b)
        return std::nullopt;
    return *b - *a;
}

ApprovalVerdict decideApprovalReuse(const OpenApproval& approval, int channel,
                                    const std::optional<RequestStamp>& current, const std::string& nowText,
                                    std::int64_t boundSeconds)
{
    if (approval.channel != channel)
        return ApprovalVerdict::Keep;
    if (approval.carrierInFlight)
        return ApprovalVerdict::Unsettled;
    // The modification time tells a file left alone from one written again
    // with the same bytes; without one the two cannot be told apart.
    if (!current || approval.request.mtime == 0 || current->mtime != approval.request.mtime ||
        !current->sameContent(approval.request))
        return ApprovalVerdict::RequestChanged;
    // A clock set back (or a journal time that does not read) gives no
    // elapsed time to trust: no reuse.
    const std::optional<std::int64_t> elapsed = secondsBetween(approval.approvedAt, nowText);
    if (boundSeconds <= 0 || !elapsed || *elapsed < 0 || *elapsed > boundSeconds)
        return ApprovalVerdict::Expired;
    return ApprovalVerdict::Reuse;
}

JournalRecord approvalReusedRecord(std::uint64_t job, const OpenApproval& approval)
{
    JournalRecord r;
    r.kind = JournalRecordKind::ApprovalReused;
    r.job = job;
    r.set(journalkey::FromJob, std::to_string(approval.approvedInJob));
    r.set(journalkey::Channel, std::to_string(approval.channel));
    r.set(journalkey::Amount, approval.amount);
    for (std::size_t i = 0; i < kPosFieldNames.size(); ++i)
        r.set(std::string(journalkey::PosPrefix) + kPosFieldNames[i], approval.pos[i]);
    return r;
}

JournalRecord approvalNotUsedRecord(const OpenApproval& approval, std::uint64_t byJob, const std::string& reason)
{
    JournalRecord r;
    r.kind = JournalRecordKind::ApprovalNotUsed;
    r.job = approval.approvedInJob;
    r.set(journalkey::Channel, std::to_string(approval.channel));
    r.set(journalkey::Amount, approval.amount);
    r.set(journalkey::Reason, reason);
    // The job that gave it up; 0 when none did (start-up).
    r.set("by", std::to_string(byJob));
    return r;
}

std::string approvalSummary(const std::string& amount, const PosFields& pos, const std::string& approvedAt)
{
    return "importo " + centsToText(leadingNumber(amount)) + " EUR, aut. " + pos[kAuthorizationCode] + ", terminale " +
           pos[kTerminalId] + ", del " + approvedAt;
}

std::vector<std::string> approvalHistoryLines(const JournalReplay& journal)
{
    std::vector<std::string> lines;
    const auto open = foldApprovals(journal, [&](const OpenApproval& a, const JournalRecord& r) {
        lines.push_back(std::string(kNotUsedHistoryPrefix) + " lavoro " + std::to_string(a.approvedInJob) + " canale " +
                        std::to_string(a.channel) + ": " + approvalSummary(a.amount, a.pos, a.approvedAt) + "; " +
                        r.get(journalkey::Reason) + " (" + r.time + ")");
    });
    for (const auto& [id, a] : open)
        lines.push_back(std::string(kOpenHistoryPrefix) + " lavoro " + std::to_string(a.approvedInJob) + " canale " +
                        std::to_string(a.channel) + ": " + approvalSummary(a.amount, a.pos, a.approvedAt));
    return lines;
}

} // namespace tavor1

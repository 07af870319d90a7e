#include "soak/RollAudit.h"

#include "soak/SoakRequest.h"

namespace tavor1::soak {

bool isCompletedDocument(const regsim::PrintedDocument& document)
{
    using regsim::DocumentKind;
    // A receipt has its number once it is closed, even while its trailer is
    // still printing; a non-fiscal document is done once it is closed.
    if (document.kind == DocumentKind::Receipt)
        return document.number > 0;
    return document.kind == DocumentKind::NonFiscal && document.sealed;
}

void RollAudit::take(const std::vector<regsim::PrintedDocument>& documents, std::size_t from)
{
    for (std::size_t i = from; i < documents.size(); ++i) {
        const regsim::PrintedDocument& document = documents[i];
        const bool completed = isCompletedDocument(document);
        for (const std::string& line : document.lines) {
            const int job = markerJob(line);
            if (job == 0)
                continue;
            MarkerCount& c = m_counts[job];
            ++c.total;
            if (completed)
                ++c.completed;
            if (completed && document.kind == regsim::DocumentKind::Receipt)
                c.receiptNumber = document.number;
            if (!document.sealed)
                ++c.open;
        }
    }
}

MarkerCount RollAudit::count(int job) const
{
    const auto it = m_counts.find(job);
    return it == m_counts.end() ? MarkerCount{} : it->second;
}

std::vector<int> RollAudit::duplicated() const
{
    std::vector<int> jobs;
    for (const auto& [job, c] : m_counts)
        if (c.total > 1)
            jobs.push_back(job);
    return jobs;
}

std::vector<int> RollAudit::printedMoreThanOnce() const
{
    std::vector<int> jobs;
    for (const auto& [job, c] : m_counts)
        if (c.completed > 1)
            jobs.push_back(job);
    return jobs;
}

} // namespace tavor1::soak

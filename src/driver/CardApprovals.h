#pragma once

#include "exchange/ApprovalReuse.h"
#include "exchange/ExchangeFiles.h"
#include "exchange/JobJournal.h"
#include "exchange/LogFile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tavor1 {

class Clock;

// One sale, one charge. A card approval whose document failed stays open in
// the job journal; the retry of the same request on the same channel within
// the bound is paid with it instead of a second charge, and any other request
// on that channel gives it up, recorded as not used so that the shop can
// refund it. Every step is in the journal and LOGFILE.TXT before the job
// goes on.
class CardApprovals {
public:
    CardApprovals(JobJournal& journal, const ExchangeFiles& files, const Clock& clock, std::int64_t boundSeconds);

    // Before the payment step of a journaled job: settles the open approvals
    // that this job decides (those of its channel, and those past the bound
    // on any channel) and returns the approval that pays it, if any. The
    // reuse is on disk when this returns.
    std::optional<PosFields> approvalFor(std::uint64_t job);
    // The reused approval's job and time, for the payment log: empty when
    // the last approvalFor returned none.
    const std::string& reuseNote() const { return m_reuseNote; }

    // Start-up: spares the SR_DATI of a channel whose file is still the
    // request of its open approval, so that the host can retry it.
    void spareKeptRequests(std::array<bool, kChannelCount>& spare) const;

private:
    void giveUp(const OpenApproval& approval, std::uint64_t byJob, const char* reason);

    JobJournal& m_journal;
    const ExchangeFiles& m_files;
    const Clock& m_clock;
    LogFile m_log;
    std::int64_t m_boundSeconds;
    std::string m_reuseNote;
};

} // namespace tavor1

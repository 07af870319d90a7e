#pragma once

// Card approvals whose sale was not printed, and whether a retry may use one
// instead of charging the customer again.
//
// An approval is open from the job that took it until a document is printed
// with it or it is given up. A job whose document fails leaves it open; the
// next job on the same channel reuses it only when the host did nothing but
// re-create SR_START: the very request file of the failed job, unchanged
// since (size, digest and modification time), within a bounded time of the
// approval. Any other request on that channel starts a new sale, and the
// approval is then given up and recorded as not used, so that the shop can
// refund it.

#include "exchange/JobJournal.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavor1 {

inline constexpr std::int64_t kDefaultApprovalReuseSeconds = 15 * 60;

// An approval that no printed document has used and nobody has given up.
struct OpenApproval {
    // The job that took it from the payment service.
    std::uint64_t approvedInJob = 0;
    // The newest job that carried it (the approving job or a reuse).
    std::uint64_t lastJob = 0;
    int channel = 0;
    // The request the approval was taken for.
    RequestStamp request;
    std::string amount;
    PosFields pos{};
    // "YYYY-MM-DD hh:mm:ss", local time of the approval.
    std::string approvedAt;
    // The newest job carrying it has no outcome yet (running, or a crash
    // stopped it): it cannot be reused or given up before it is settled.
    bool carrierInFlight = false;
};

// The jobs whose approval was given up, oldest first. The journal's
// compaction keeps the newest kKeptGivenUpApprovals of them beyond its usual
// window, so that the history still lists them when the shop refunds.
std::vector<std::uint64_t> givenUpApprovalJobs(const JournalReplay& journal);
inline constexpr std::size_t kKeptGivenUpApprovals = 100;

// The approvals the journal shows open, oldest first.
std::vector<OpenApproval> openApprovals(const JournalReplay& journal);
// The open approval of one channel, if any (at most one: a new one is taken
// only after the old one is reused or given up).
std::optional<OpenApproval> openApprovalOf(const JournalReplay& journal, int channel);

// What a job does with the open approval of its channel.
enum class ApprovalVerdict {
    Reuse, // pay the job with it
    Keep, // leave it open (the job is on another channel)
    RequestChanged, // a new request on the channel: a new sale, give it up
    Expired, // the retry came after the bound: give it up
    Unsettled, // its job still waits for its settlement: leave it open, do not reuse
};

// The rule. current is the stamp of the job's SR_DATI (nullopt when it could
// not be read); nowText is the local time as journalTime writes it;
// boundSeconds is the longest time from the approval to a reuse (0: no reuse).
ApprovalVerdict decideApprovalReuse(const OpenApproval& approval, int channel,
                                    const std::optional<RequestStamp>& current, const std::string& nowText,
                                    std::int64_t boundSeconds);

// Seconds from one journal time to another ("YYYY-MM-DD hh:mm:ss", local
// time, read as a naive calendar); nullopt when either does not parse.
std::optional<std::int64_t> secondsBetween(const std::string& from, const std::string& to);

// The reason texts of a given-up approval, as the journal, LOGFILE.TXT and
// the history show them.
inline constexpr const char* kNotUsedNewRequest = "nuova richiesta sul canale";
inline constexpr const char* kNotUsedExpired = "tempo per il riuso scaduto";

// Recorded under the job it pays, with the approval's amount and POSData.
JournalRecord approvalReusedRecord(std::uint64_t job, const OpenApproval& approval);
// Recorded under the approving job, so that the record stays with it.
JournalRecord approvalNotUsedRecord(const OpenApproval& approval, std::uint64_t byJob, const std::string& reason);

// One line about an approval, for LOGFILE.TXT and the history:
// "importo 12,50 EUR, aut. 123456, terminale 12345678, del 2026-12-06 14:00:00".
std::string approvalSummary(const std::string& amount, const PosFields& pos, const std::string& approvedAt);

// The history's lines of approvals given up: each begins with
// kNotUsedHistoryPrefix, one per approval, oldest first.
inline constexpr const char* kNotUsedHistoryPrefix = "APPROVAZIONE POS NON USATA";
// The history's lines of approvals still open, with kOpenHistoryPrefix.
inline constexpr const char* kOpenHistoryPrefix = "APPROVAZIONE POS IN SOSPESO";
std::vector<std::string> approvalHistoryLines(const JournalReplay& journal);

} // namespace tavor1

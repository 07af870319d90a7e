#pragma once

// The job journal: a durable, append-only record of each job's steps in the
// data directory. Every record is on the disk (written and synced) before the
// step it guards, so that a driver killed at any point finds at its next
// start what the interrupted job had done: whether a card was charged, whether
// a document was begun on the register and with which document counters,
// which outcome was decided and whether the host was answered. It is also the
// job history that `tavor1 history` prints.
//
// One record per line: eight hexadecimal digits of the CRC-32 of the rest of
// the line, a blank, then tab-separated fields: the record's kind, the job
// number, the time, and "key=value" pairs. Tabs, line ends and backslashes in
// values are escaped; other bytes (Windows-1252 texts of the register or the
// payment service) are kept as they are. A record whose checksum does not
// match (the last one, torn by a power cut) is skipped, never fatal. Kinds
// and keys this version does not know are kept and ignored, so that an older
// driver reads a newer journal.

#include "exchange/JobResult.h"
#include "platform/Clock.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavor1 {

inline constexpr std::string_view kJournalFileName = "tavor1.journal";

// What a record tells. The names in the file are fixed: stored journals
// depend on them.
enum class JournalRecordKind {
    Accepted, // "accepted": a go signal taken as a job (channel, request stamp)
    CardApproved, // "card-approved": the card payment was approved (amount, POSData)
    ApprovalReused, // "approval-reused": an earlier approval paid this job instead of a new charge
    ApprovalNotUsed, // "approval-not-used": an approval was given up (its reason)
    CountersBefore, // "counters": the register's document counters read before the document
    DocumentBegun, // "begun": the first command of the document is about to go out
    Outcome, // "outcome": the job's result, decided before the host is answered
    Answered, // "answered": FINESCO or SR_ERR is in place
    DocumentCancelled, // "cancelled": a document the driver had left open is no longer open
    SlipBegun, // "slip": the payment outcome slip is about to go out
    SlipPrinted, // "slip-printed": the slip went out with the connection standing throughout
    Unknown, // a kind written by a newer driver
};

std::string_view journalKindName(JournalRecordKind kind);
JournalRecordKind journalKindFromName(std::string_view name);

// Keys of the records' fields.
namespace journalkey {
inline constexpr const char* Channel = "channel";
inline constexpr const char* RequestSize = "size";
inline constexpr const char* RequestDigest = "digest";
inline constexpr const char* RequestMtime = "mtime";
inline constexpr const char* Amount = "amount";
inline constexpr const char* Counters = "counters";
inline constexpr const char* Result = "result";
inline constexpr const char* Text = "text";
inline constexpr const char* ReceiptNumber = "receipt";
// Which answer the host gets: "FINESCO", "SR_ERR", or "none" when the request
// was gone and the outcome is only recorded.
inline constexpr const char* Answer = "answer";
// The bytes of SR_OUT (success) or of the SR_ERR line (failure), so that an
// answer lost in a crash is written again as it was decided.
inline constexpr const char* AnswerBytes = "bytes";
// "1": the job stopped with a document possibly left open on the register,
// to be cancelled as soon as the register answers.
inline constexpr const char* LeftOpen = "open";
// "1": the outcome was decided at start-up for a job a crash interrupted.
inline constexpr const char* Settled = "settled";
inline constexpr const char* Reason = "reason";
// The job whose approval was reused.
inline constexpr const char* FromJob = "from";
// POSData field i is stored under "pos." + kPosFieldNames[i].
inline constexpr const char* PosPrefix = "pos.";
} // namespace journalkey

// The 17 fields of a card-payment outcome, in the order of POSData.
inline constexpr std::array<const char*, 17> kPosFieldNames{"Comando",
                                                            "Importo",
                                                            "Esito",
                                                            "DataOperazione",
                                                            "DescrErr",
                                                            "DescrErrAggi",
                                                            "TerminalId",
                                                            "AcquirerId",
                                                            "TransactionType",
                                                            "TransactionResult",
                                                            "KODescription",
                                                            "CardType",
                                                            "STAN",
                                                            "PAN",
                                                            "AuthorizationCode",
                                                            "OperationNumber",
                                                            "DataTrs"};
// The index of a POSData field in PosFields, by its name (0 for a name that
// is none of them).
constexpr std::size_t posFieldIndex(std::string_view name)
{
    for (std::size_t i = 0; i < kPosFieldNames.size(); ++i)
        if (name == kPosFieldNames[i])
            return i;
    return 0;
}
using PosFields = std::array<std::string, 17>;

// What identifies one request file: its size, a digest of its bytes and its
// modification time (seconds since the epoch, 0 when unknown).
struct RequestStamp {
    std::uint64_t size = 0;
    std::string digest;
    std::int64_t mtime = 0;

    bool sameContent(const RequestStamp& other) const { return size == other.size && digest == other.digest; }
};
// The stamp of the bytes of a request (mtime left 0).
RequestStamp stampOfBytes(std::string_view bytes);
// The stamp of a request file; nullopt when it cannot be read.
std::optional<RequestStamp> stampOfFile(const std::string& path);

struct JournalRecord {
    JournalRecordKind kind = JournalRecordKind::Unknown;
    // The kind's name as read, kept for kinds this version does not know.
    std::string kindName;
    std::uint64_t job = 0;
    // "YYYY-MM-DD hh:mm:ss", local time.
    std::string time;
    std::vector<std::pair<std::string, std::string>> fields;

    // The value of a key; empty when absent.
    std::string get(std::string_view key) const;
    bool has(std::string_view key) const;
    JournalRecord& set(std::string key, std::string value);
};

// One record as a line of the file (with its checksum and line end).
std::string encodeJournalRecord(const JournalRecord& record);
// A line of the file without its line end; nullopt when it is torn or its
// checksum does not match.
std::optional<JournalRecord> decodeJournalRecord(std::string_view line);

// Record builders for the steps of a job.
JournalRecord acceptedRecord(std::uint64_t job, int channel, const RequestStamp& request);
JournalRecord cardApprovedRecord(std::uint64_t job, int channel, const RequestStamp& request, const std::string& amount,
                                 const PosFields& pos);
JournalRecord countersRecord(std::uint64_t job, const std::string& counters);
JournalRecord documentBegunRecord(std::uint64_t job);
// answer: "FINESCO", "SR_ERR" or "none"; answerBytes: SR_OUT or the SR_ERR line.
JournalRecord outcomeRecord(std::uint64_t job, JobResult result, const std::string& text,
                            const std::string& receiptNumber, const std::string& answer, const std::string& answerBytes,
                            bool leftOpen, bool settled);
JournalRecord answeredRecord(std::uint64_t job, const std::string& answer);
JournalRecord cancelledRecord(std::uint64_t job);
JournalRecord slipBegunRecord(std::uint64_t job);
JournalRecord slipPrintedRecord(std::uint64_t job);

// One job as the journal's records tell it.
struct JournalJob {
    std::uint64_t id = 0;
    int channel = 0;
    std::string acceptedAt;
    RequestStamp request;

    bool cardApproved = false;
    std::string cardAmount;
    PosFields pos{};

    bool countersRead = false;
    std::string countersBefore;
    bool documentBegun = false;
    // The payment outcome slip (the driver's own non-fiscal document, printed
    // after the job's document) was begun, and went out whole.
    bool slipBegun = false;
    bool slipPrinted = false;

    bool hasOutcome = false;
    JobResult result = JobResult::Ok;
    std::string resultText;
    std::string receiptNumber;
    std::string answer;
    std::string answerBytes;
    bool leftOpen = false;
    bool settled = false;
    std::string finishedAt;

    bool answered = false;
    bool cancelled = false;

    // The slip may be open on the register: it was begun and not seen through.
    bool slipMayBeOpen() const { return slipBegun && !slipPrinted; }
    // Accepted and no outcome decided yet: a crash interrupted it.
    bool inFlight() const { return !hasOutcome; }
    // An outcome was decided but the host has not been told.
    bool unanswered() const { return hasOutcome && !answered && answer != "none"; }
    // A document this job left open on the register still waits for its cancel.
    bool documentStillOpen() const { return hasOutcome && leftOpen && !cancelled; }
    // Nothing left to do for it.
    bool finished() const { return hasOutcome && !unanswered() && !documentStillOpen(); }
};

// What a reading of the journal found.
struct JournalReplay {
    // Jobs in the order they were accepted.
    std::vector<JournalJob> jobs;
    // Every well-formed record, in file order.
    std::vector<JournalRecord> records;
    // Lines skipped for a bad checksum or a missing line end.
    int damagedRecords = 0;
    // The last line had no line end (a write cut short).
    bool tornTail = false;
    std::uint64_t lastJob = 0;

    const JournalJob* job(std::uint64_t id) const;

    // Read-only queries, for a diagnosis that must not change the journal.
    // Jobs a crash interrupted (no outcome yet).
    std::vector<JournalJob> jobsInFlight() const;
    // Jobs whose outcome was decided but whose answer is not known written.
    std::vector<JournalJob> unansweredJobs() const;
    // The newest job whose document is still open on the register, if any.
    std::optional<JournalJob> documentLeftOpen() const;
};

// Folds records into jobs. Records of a job that has no "accepted" record
// (it was compacted away) are ignored.
JournalReplay replayJournal(std::string_view fileBytes);

struct JournalLimits {
    // Past this size the journal is rewritten with only the jobs worth keeping.
    std::uint64_t compactAboveBytes = 512u * 1024u;
    // Finished jobs kept by a compaction (the newest ones); unfinished jobs are
    // always kept.
    std::size_t keepFinishedJobs = 200;
};

// The journal file of one data directory. Not thread-safe; the driver's one
// thread owns it.
class JobJournal {
public:
    JobJournal(std::string dataDir, const Clock& clock, JournalLimits limits = {});

    // Reads a journal without changing anything (for history and diagnosis).
    static JournalReplay read(const std::string& dataDir);

    // Reads the file, and rewrites it when its tail is torn or it is too
    // large. Returns false when the file exists but cannot be read.
    bool open();

    const std::string& path() const { return m_path; }
    const JournalReplay& state() const { return m_state; }

    // Records a newly accepted job and returns its number; 0 when the record
    // could not be written (the job then runs without a journal).
    std::uint64_t beginJob(int channel, const RequestStamp& request);
    // Writes and syncs one record (its time is set now when empty) and folds
    // it into the state. False when it did not reach the disk.
    bool append(JournalRecord record);
    // Rewrites the file keeping the unfinished jobs and the newest finished
    // ones; write, sync, rename.
    bool compact();
    // Compacts when the file has grown past the limit.
    void compactIfLarge();

    // Read-only queries.
    std::vector<JournalJob> jobsInFlight() const;
    std::vector<JournalJob> unansweredJobs() const;
    // The job whose document is still open on the register, if any.
    std::optional<JournalJob> documentLeftOpen() const;
    // The newest jobs, newest last; at most n.
    std::vector<JournalJob> lastJobs(std::size_t n) const;

private:
    std::string now() const;

    std::string m_path;
    const Clock& m_clock;
    JournalLimits m_limits;
    JournalReplay m_state;
    std::uint64_t m_fileBytes = 0;
};

// "YYYY-MM-DD hh:mm:ss".
std::string journalTime(const LocalDateTime& t);

} // namespace tavor1

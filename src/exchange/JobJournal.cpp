#include "exchange/JobJournal.h"

#include "exchange/ApprovalReuse.h"

#include "platform/ByteFiles.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

namespace tavor1 {

namespace {

struct KindName {
    JournalRecordKind kind;
    std::string_view name;
};

constexpr KindName kKindNames[] = {
    {JournalRecordKind::Accepted, "accepted"},
    {JournalRecordKind::CardApproved, "card-approved"},
    {JournalRecordKind::ApprovalReused, "approval-reused"},
    {JournalRecordKind::ApprovalNotUsed, "approval-not-used"},
    {JournalRecordKind::CountersBefore, "counters"},
    {JournalRecordKind::DocumentBegun, "begun"},
    {JournalRecordKind::Outcome, "outcome"},
    {JournalRecordKind::Answered, "answered"},
    {JournalRecordKind::DocumentCancelled, "cancelled"},
    {JournalRecordKind::SlipBegun, "slip"},
    {JournalRecordKind::SlipPrinted, "slip-printed"},
};

std::uint32_t crc32(std::string_view bytes)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes)
        c = table[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::string hex(std::uint64_t value, int digits)
{
    static const char* d = "0123456789abcdef";
    std::string out(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        out[static_cast<std::size_t>(i)] = d[value & 0xF];
    return out;
}

std::optional<std::uint32_t> parseHex32(std::string_view text)
{
    if (text.size() != 8)
        return std::nullopt;
    std::uint32_t v = 0;
    for (char c : text) {
        v <<= 4;
        if (c >= '0' && c <= '9')
            v |= static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            v |= static_cast<std::uint32_t>(c - 'a' + 10);
        else
            return std::nullopt;
    }
    return v;
}

std::optional<std::uint64_t> parseUnsigned(std::string_view text)
{
    if (text.empty() || text.size() > 19)
        return std::nullopt;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return v;
}

long long parseSigned(std::string_view text)
{
    bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    const std::optional<std::uint64_t> v = parseUnsigned(text);
    if (!v)
        return 0;
    return negative ? -static_cast<long long>(*v) : static_cast<long long>(*v);
}

void escapeInto(std::string& out, std::string_view text)
{
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
            break;
        }
    }
}

std::optional<std::string> unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::vector<std::string_view> splitTabs(std::string_view text)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = text.find('\t', start);
        parts.push_back(text.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            return parts;
        start = tab + 1;
    }
}

void applyRecord(JournalReplay& replay, const JournalRecord& r)
{
    using K = JournalRecordKind;
    replay.lastJob = std::max(replay.lastJob, r.job);
    if (r.kind == K::Accepted) {
        JournalJob job;
        job.id = r.job;
        job.channel = static_cast<int>(parseSigned(r.get(journalkey::Channel)));
        job.acceptedAt = r.time;
        job.request.size = parseUnsigned(r.get(journalkey::RequestSize)).value_or(0);
        job.request.digest = r.get(journalkey::RequestDigest);
        job.request.mtime = parseSigned(r.get(journalkey::RequestMtime));
        replay.jobs.push_back(std::move(job));
        return;
    }
    // Records of a job always follow its "accepted"; search from the newest.
    auto it =
        std::find_if(replay.jobs.rbegin(), replay.jobs.rend(), [&](const JournalJob& j) { return j.id == r.job; });
    if (it == replay.jobs.rend())
        return;
    JournalJob& job = *it;
    switch (r.kind) {
    // A job paid with an earlier approval carries it as its own: the
    // settlement of a crash reports it in SR_OUT.
    case K::CardApproved:
    case K::ApprovalReused:
        job.cardApproved = true;
        job.cardAmount = r.get(journalkey::Amount);
        for (std::size_t i = 0; i < kPosFieldNames.size(); ++i)
            job.pos[i] = r.get(std::string(journalkey::PosPrefix) + kPosFieldNames[i]);
        break;
    case K::CountersBefore:
        job.countersRead = true;
        job.countersBefore = r.get(journalkey::Counters);
        break;
    case K::DocumentBegun:
        job.documentBegun = true;
        break;
    case K::Outcome:
        job.hasOutcome = true;
        job.result = codeFromNumber<JobResult>(static_cast<std::int16_t>(parseSigned(r.get(journalkey::Result))));
        job.resultText = r.get(journalkey::Text);
        job.receiptNumber = r.get(journalkey::ReceiptNumber);
        job.answer = r.get(journalkey::Answer);
        job.answerBytes = r.get(journalkey::AnswerBytes);
        job.leftOpen = r.get(journalkey::LeftOpen) == "1";
        job.settled = r.get(journalkey::Settled) == "1";
        job.finishedAt = r.time;
        break;
    case K::Answered:
        job.answered = true;
        break;
    case K::DocumentCancelled:
        job.cancelled = true;
        break;
    case K::SlipBegun:
        job.slipBegun = true;
        break;
    case K::SlipPrinted:
        job.slipPrinted = true;
        break;
    default:
        break;
    }
}

} // namespace

std::string_view journalKindName(JournalRecordKind kind)
{
    for (const KindName& k : kKindNames)
        if (k.kind == kind)
            return k.name;
    return "unknown";
}

JournalRecordKind journalKindFromName(std::string_view name)
{
    for (const KindName& k : kKindNames)
        if (k.name == name)
            return k.kind;
    return JournalRecordKind::Unknown;
}

RequestStamp stampOfBytes(std::string_view bytes)
{
    // FNV-1a over the bytes, with the CRC-32 beside it: a change detector for
    // a request rewritten under the same name, not a security device.
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char b : bytes) {
        h ^= b;
        h *= 0x100000001b3ull;
    }
    RequestStamp s;
    s.size = bytes.size();
    s.digest = hex(h, 16) + hex(crc32(bytes), 8);
    return s;
}

std::optional<RequestStamp> stampOfFile(const std::string& path)
{
    const std::optional<std::string> bytes = readFileBytes(path);
    if (!bytes)
        return std::nullopt;
    RequestStamp s = stampOfBytes(*bytes);
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(path, ec);
    if (!ec) {
        const auto sys = std::chrono::file_clock::to_sys(written);
        s.mtime = std::chrono::duration_cast<std::chrono::seconds>(sys.time_since_epoch()).count();
    }
    return s;
}

std::string JournalRecord::get(std::string_view key) const
{
    for (const auto& [k, v] : fields)
        if (k == key)
            return v;
    return {};
}

bool JournalRecord::has(std::string_view key) const
{
    return std::any_of(fields.begin(), fields.end(), [&](const auto& f) { return f.first == key; });
}

JournalRecord& JournalRecord::set(std::string key, std::string value)
{
    for (auto& f : fields)
        if (f.first == key) {
            f.second = std::move(value);
            return *this;
        }
    fields.emplace_back(std::move(key), std::move(value));
    return *this;
}

std::string encodeJournalRecord(const JournalRecord& record)
{
    std::string body;
    escapeInto(body, record.kind == JournalRecordKind::Unknown ? record.kindName : journalKindName(record.kind));
    body += '\t';
    body += std::to_string(record.job);
    body += '\t';
    escapeInto(body, record.time);
    for (const auto& [key, value] : record.fields) {
        body += '\t';
        escapeInto(body, key);
        body += '=';
        escapeInto(body, value);
    }
    return hex(crc32(body), 8) + " " + body + "\n";
}

std::optional<JournalRecord> decodeJournalRecord(std::string_view line)
{
    if (line.size() < 10 || line[8] != ' ')
        return std::nullopt;
    const std::optional<std::uint32_t> sum = parseHex32(line.substr(0, 8));
    const std::string_view body = line.substr(9);
    if (!sum || *sum != crc32(body))
        return std::nullopt;
    const std::vector<std::string_view> parts = splitTabs(body);
    if (parts.size() < 3)
        return std::nullopt;
    JournalRecord r;
    std::optional<std::string> kind = unescape(parts[0]);
    const std::optional<std::uint64_t> job = parseUnsigned(parts[1]);
    std::optional<std::string> time = unescape(parts[2]);
    if (!kind || !job || !time)
        return std::nullopt;
    r.kindName = std::move(*kind);
    r.kind = journalKindFromName(r.kindName);
    r.job = *job;
    r.time = std::move(*time);
    for (std::size_t i = 3; i < parts.size(); ++i) {
        const std::size_t eq = parts[i].find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        std::optional<std::string> key = unescape(parts[i].substr(0, eq));
        std::optional<std::string> value = unescape(parts[i].substr(eq + 1));
        if (!key || !value)
            return std::nullopt;
        r.fields.emplace_back(std::move(*key), std::move(*value));
    }
    return r;
}

namespace {

JournalRecord record(JournalRecordKind kind, std::uint64_t job)
{
    JournalRecord r;
    r.kind = kind;
    r.job = job;
    return r;
}

void setRequest(JournalRecord& r, int channel, const RequestStamp& request)
{
    r.set(journalkey::Channel, std::to_string(channel));
    r.set(journalkey::RequestSize, std::to_string(request.size));
    r.set(journalkey::RequestDigest, request.digest);
    r.set(journalkey::RequestMtime, std::to_string(request.mtime));
}

} // namespace

JournalRecord acceptedRecord(std::uint64_t job, int channel, const RequestStamp& request)
{
    JournalRecord r = record(JournalRecordKind::Accepted, job);
    setRequest(r, channel, request);
    return r;
}

JournalRecord cardApprovedRecord(std::uint64_t job, int channel, const RequestStamp& request, const std::string& amount,
                                 const PosFields& pos)
{
    JournalRecord r = record(JournalRecordKind::CardApproved, job);
    setRequest(r, channel, request);
    r.set(journalkey::Amount, amount);
    for (std::size_t i = 0; i < kPosFieldNames.size(); ++i)
        r.set(std::string(journalkey::PosPrefix) + kPosFieldNames[i], pos[i]);
    return r;
}

JournalRecord countersRecord(std::uint64_t job, const std::string& counters)
{
    return record(JournalRecordKind::CountersBefore, job).set(journalkey::Counters, counters);
}

JournalRecord documentBegunRecord(std::uint64_t job)
{
    return record(JournalRecordKind::DocumentBegun, job);
}

JournalRecord outcomeRecord(std::uint64_t job, JobResult result, const std::string& text,
                            const std::string& receiptNumber, const std::string& answer, const std::string& answerBytes,
                            bool leftOpen, bool settled)
{
    JournalRecord r = record(JournalRecordKind::Outcome, job);
    r.set(journalkey::Result, codeText(result));
    r.set(journalkey::Text, text);
    r.set(journalkey::ReceiptNumber, receiptNumber);
    r.set(journalkey::Answer, answer);
    r.set(journalkey::AnswerBytes, answerBytes);
    r.set(journalkey::LeftOpen, leftOpen ? "1" : "0");
    r.set(journalkey::Settled, settled ? "1" : "0");
    return r;
}

JournalRecord answeredRecord(std::uint64_t job, const std::string& answer)
{
    return record(JournalRecordKind::Answered, job).set(journalkey::Answer, answer);
}

JournalRecord cancelledRecord(std::uint64_t job)
{
    return record(JournalRecordKind::DocumentCancelled, job);
}

JournalRecord slipBegunRecord(std::uint64_t job)
{
    return record(JournalRecordKind::SlipBegun, job);
}

JournalRecord slipPrintedRecord(std::uint64_t job)
{
    return record(JournalRecordKind::SlipPrinted, job);
}

const JournalJob* JournalReplay::job(std::uint64_t id) const
{
    for (auto it = jobs.rbegin(); it != jobs.rend(); ++it)
        if (it->id == id)
            return &*it;
    return nullptr;
}

JournalReplay replayJournal(std::string_view fileBytes)
{
    JournalReplay replay;
    std::size_t start = 0;
    while (start < fileBytes.size()) {
        const std::size_t end = fileBytes.find('\n', start);
        if (end == std::string_view::npos) {
            // A write cut short: the step it guarded never began.
            replay.tornTail = true;
            ++replay.damagedRecords;
            break;
        }
        std::optional<JournalRecord> r = decodeJournalRecord(fileBytes.substr(start, end - start));
        start = end + 1;
        if (!r) {
            ++replay.damagedRecords;
            continue;
        }
        applyRecord(replay, *r);
        replay.records.push_back(std::move(*r));
    }
    return replay;
}

std::string journalTime(const LocalDateTime& t)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

JobJournal::JobJournal(std::string dataDir, const Clock& clock, JournalLimits limits)
    : m_path(joinPath(dataDir, kJournalFileName))
    , m_clock(clock)
    , m_limits(limits)
{
}

JournalReplay JobJournal::read(const std::string& dataDir)
{
    const std::optional<std::string> bytes = readFileBytes(joinPath(dataDir, kJournalFileName));
    return bytes ? replayJournal(*bytes) : JournalReplay{};
}

bool JobJournal::open()
{
    m_state = JournalReplay{};
    m_fileBytes = 0;
    if (!fileExists(m_path))
        return true;
    const std::optional<std::string> bytes = readFileBytes(m_path);
    if (!bytes)
        return false;
    m_state = replayJournal(*bytes);
    m_fileBytes = bytes->size();
    // A torn tail would glue the next record to its remains; damaged lines
    // are dropped by rewriting the file from what could be read.
    if (m_state.damagedRecords > 0 || m_fileBytes > m_limits.compactAboveBytes)
        compact();
    return true;
}

std::string JobJournal::now() const
{
    return journalTime(m_clock.now());
}

std::uint64_t JobJournal::beginJob(int channel, const RequestStamp& request)
{
    const std::uint64_t id = m_state.lastJob + 1;
    if (!append(acceptedRecord(id, channel, request)))
        return 0;
    return id;
}

bool JobJournal::append(JournalRecord record)
{
    if (record.time.empty())
        record.time = now();
    const std::string line = encodeJournalRecord(record);
    if (!appendFileBytesDurably(m_path, line))
        return false;
    m_fileBytes += line.size();
    applyRecord(m_state, record);
    m_state.records.push_back(std::move(record));
    return true;
}

bool JobJournal::compact()
{
    std::vector<std::uint64_t> finished;
    std::set<std::uint64_t> keep;
    for (const JournalJob& j : m_state.jobs) {
        if (j.finished())
            finished.push_back(j.id);
        else
            keep.insert(j.id);
    }
    // An approval no document has used stays with its jobs until it is used
    // or given up: it must never be forgotten.
    for (const OpenApproval& a : openApprovals(m_state)) {
        keep.insert(a.approvedInJob);
        keep.insert(a.lastJob);
    }
    // So do the newest approvals given up, still to be refunded.
    const std::vector<std::uint64_t> givenUp = givenUpApprovalJobs(m_state);
    const std::size_t skip = givenUp.size() > kKeptGivenUpApprovals ? givenUp.size() - kKeptGivenUpApprovals : 0;
    keep.insert(givenUp.begin() + static_cast<std::ptrdiff_t>(skip), givenUp.end());
    // At least the newest job stays, and with it the numbering.
    const std::size_t keepFinished = std::max<std::size_t>(1, m_limits.keepFinishedJobs);
    const std::size_t drop = finished.size() > keepFinished ? finished.size() - keepFinished : 0;
    keep.insert(finished.begin() + static_cast<std::ptrdiff_t>(drop), finished.end());

    std::string bytes;
    std::vector<JournalRecord> kept;
    for (const JournalRecord& r : m_state.records) {
        if (!keep.count(r.job))
            continue;
        bytes += encodeJournalRecord(r);
        kept.push_back(r);
    }
    // The newest job number survives even when its job is dropped, so that
    // numbers are never given twice.
    const std::uint64_t lastJob = m_state.lastJob;
    if (!replaceFileBytes(m_path, bytes))
        return false;
    m_state = JournalReplay{};
    for (JournalRecord& r : kept) {
        applyRecord(m_state, r);
        m_state.records.push_back(std::move(r));
    }
    m_state.lastJob = std::max(m_state.lastJob, lastJob);
    m_fileBytes = bytes.size();
    return true;
}

void JobJournal::compactIfLarge()
{
    if (m_fileBytes > m_limits.compactAboveBytes)
        compact();
}

std::vector<JournalJob> JournalReplay::jobsInFlight() const
{
    std::vector<JournalJob> out;
    for (const JournalJob& j : jobs)
        if (j.inFlight())
            out.push_back(j);
    return out;
}

std::vector<JournalJob> JournalReplay::unansweredJobs() const
{
    std::vector<JournalJob> out;
    for (const JournalJob& j : jobs)
        if (j.unanswered())
            out.push_back(j);
    return out;
}

std::optional<JournalJob> JournalReplay::documentLeftOpen() const
{
    for (auto it = jobs.rbegin(); it != jobs.rend(); ++it)
        if (it->documentStillOpen())
            return *it;
    return std::nullopt;
}

std::vector<JournalJob> JobJournal::jobsInFlight() const
{
    return m_state.jobsInFlight();
}

std::vector<JournalJob> JobJournal::unansweredJobs() const
{
    return m_state.unansweredJobs();
}

std::optional<JournalJob> JobJournal::documentLeftOpen() const
{
    return m_state.documentLeftOpen();
}

std::vector<JournalJob> JobJournal::lastJobs(std::size_t n) const
{
    const auto& jobs = m_state.jobs;
    const std::size_t from = jobs.size() > n ? jobs.size() - n : 0;
    return {jobs.begin() + static_cast<std::ptrdiff_t>(from), jobs.end()};
}

} // namespace tavor1

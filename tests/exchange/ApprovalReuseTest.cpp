#include "exchange/ApprovalReuse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavor1 {
namespace {

constexpr const char* kApprovedAt = "2026-12-06 14:00:00";
constexpr std::int64_t kBound = kDefaultApprovalReuseSeconds;
constexpr std::int64_t kMtime = 1796565600;
const std::string kRequest = "PAGA,V1250,P2\r\nSALE,T=LATTE,P=12,50\r\nCARD,V1250\r\n";

RequestStamp stamp(const std::string& bytes, std::int64_t mtime)
{
    RequestStamp s = stampOfBytes(bytes);
    s.mtime = mtime;
    return s;
}
const RequestStamp kKept = stamp(kRequest, kMtime);

PosFields approvedPos()
{
    PosFields pos{};
    pos[posFieldIndex("TerminalId")] = "12345678";
    pos[posFieldIndex("AuthorizationCode")] = "A1B2C3";
    return pos;
}

JournalRecord at(JournalRecord r, const char* time)
{
    r.time = time;
    return r;
}

// Records without a time are taken at the approval's.
JournalReplay journalOf(const std::vector<JournalRecord>& records)
{
    std::string bytes;
    for (const JournalRecord& r : records)
        bytes += encodeJournalRecord(r.time.empty() ? at(r, kApprovedAt) : r);
    return replayJournal(bytes);
}

JournalRecord failedOutcome(std::uint64_t job, bool settled = false)
{
    return outcomeRecord(job, JobResult::NoAnswer, "E509", "", "SR_ERR", "x\r\n", false, settled);
}

// Job 1 on channel 1 took an approval, then its document failed.
std::vector<JournalRecord> failedSale()
{
    return {acceptedRecord(1, 1, kKept), cardApprovedRecord(1, 1, kKept, "1250", approvedPos()), failedOutcome(1)};
}

OpenApproval theOpenApproval(const std::vector<JournalRecord>& records)
{
    const std::optional<OpenApproval> a = openApprovalOf(journalOf(records), 1);
    EXPECT_TRUE(a);
    return a.value_or(OpenApproval{});
}

struct ReuseRow {
    const char* name;
    int channel;
    std::optional<RequestStamp> current;
    const char* now;
    ApprovalVerdict expected;
};

class ApprovalReuseRule : public ::testing::TestWithParam<ReuseRow> { };

TEST_P(ApprovalReuseRule, Decides)
{
    const ReuseRow& row = GetParam();
    EXPECT_EQ(decideApprovalReuse(theOpenApproval(failedSale()), row.channel, row.current, row.now, kBound),
              row.expected);
}

using enum ApprovalVerdict;

INSTANTIATE_TEST_SUITE_P(
    Rows, ApprovalReuseRule,
    // clang-format off
    ::testing::ValuesIn(std::vector<ReuseRow>{
        {"sameFile", 1, kKept, "2026-12-06 14:01:00", Reuse},
        {"sameFileAtTheBound", 1, kKept, "2026-12-06 14:15:00", Reuse},
        {"rewrittenWithTheSameBytes", 1, stamp(kRequest, kMtime + 40), "2026-12-06 14:01:00", RequestChanged},
        {"otherBytesSameSize", 1, stamp("PAGA,V1250,P2\r\nSALE,T=LATTE,P=12,50\r\nCARD,V1251\r\n", kMtime),
         "2026-12-06 14:01:00", RequestChanged},
        {"requestUnreadable", 1, std::nullopt, "2026-12-06 14:01:00", RequestChanged},
        {"otherChannel", 2, kKept, "2026-12-06 14:01:00", Keep},
        {"afterTheBound", 1, kKept, "2026-12-06 14:15:01", Expired},
        {"nextDay", 1, kKept, "2026-12-07 14:01:00", Expired},
        {"clockSetBack", 1, kKept, "2026-12-06 13:59:00", Expired}}),
    // clang-format on
    [](const auto& info) { return std::string(info.param.name); });

TEST(ApprovalReuse, AfterACrashTheSettledApprovalIsStillOpenAndReusable)
{
    // The crash stopped job 1 after the approval; the start-up settled it as
    // failed, with the request still the same file.
    std::vector<JournalRecord> records{acceptedRecord(1, 1, kKept),
                                       cardApprovedRecord(1, 1, kKept, "1250", approvedPos())};
    ASSERT_EQ(decideApprovalReuse(theOpenApproval(records), 1, kKept, "2026-12-06 14:01:00", kBound), Unsettled);
    records.push_back(failedOutcome(1, /*settled=*/true));
    EXPECT_EQ(decideApprovalReuse(theOpenApproval(records), 1, kKept, "2026-12-06 14:03:00", kBound), Reuse);
}

TEST(ApprovalReuse, AnApprovalEndsWhenADocumentIsPrintedWithItOrItIsGivenUp)
{
    auto records = failedSale();
    const OpenApproval approval = theOpenApproval(records);

    // A retry that failed again keeps it open, carried by the retry.
    records.insert(records.end(), {acceptedRecord(2, 1, kKept), approvalReusedRecord(2, approval), failedOutcome(2)});
    ASSERT_EQ(theOpenApproval(records).lastJob, 2u);

    auto printed = records;
    printed.insert(printed.end(), {acceptedRecord(3, 1, kKept), approvalReusedRecord(3, approval),
                                   outcomeRecord(3, JobResult::Ok, "OK", "0042", "FINESCO", "x\r\n", false, false)});
    EXPECT_TRUE(openApprovals(journalOf(printed)).empty());

    auto givenUp = records;
    givenUp.push_back(at(approvalNotUsedRecord(approval, 3, kNotUsedNewRequest), "2026-12-06 14:02:00"));
    EXPECT_TRUE(openApprovals(journalOf(givenUp)).empty());
    EXPECT_EQ(approvalHistoryLines(journalOf(givenUp)),
              std::vector<std::string>{"APPROVAZIONE POS NON USATA lavoro 1 canale 1: importo 12,50 EUR, aut. A1B2C3, "
                                       "terminale 12345678, del 2026-12-06 14:00:00; nuova richiesta sul canale "
                                       "(2026-12-06 14:02:00)"});
}

TEST(ApprovalReuse, EachChannelKeepsItsOwnApproval)
{
    auto records = failedSale();
    const RequestStamp other = stamp("PAGA,V500,P1\r\n", kMtime + 100);
    records.insert(records.end(), {acceptedRecord(2, 3, other), cardApprovedRecord(2, 3, other, "500", approvedPos())});
    const JournalReplay journal = journalOf(records);
    EXPECT_EQ(openApprovalOf(journal, 3)->amount, "500");
    EXPECT_EQ(openApprovalOf(journal, 1)->amount, "1250");
    EXPECT_FALSE(openApprovalOf(journal, 2));
    const std::vector<std::string> lines = approvalHistoryLines(journal);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].rfind(kOpenHistoryPrefix, 0), 0u) << lines[1];
}

} // namespace
} // namespace tavor1

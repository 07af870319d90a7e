#include "exchange/ApprovalReuse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavor1 {
namespace {

constexpr const char* kApprovedAt = "2026-12-06 14:00:00";
constexpr std::int64_t kBound = kDefaultApprovalReuseSeconds;

RequestStamp kept()
{
    RequestStamp s = stampOfBytes("PAGA,V1250,P2\r\nSALE,T=LATTE,P=12,50\r\nCARD,V1250\r\n");
    s.mtime = 1796565600;
    return s;
}

PosFields approvedPos()
{
    PosFields pos{};
    pos[0] = "PAGA";
    pos[1] = "1250";
    pos[2] = "00";
    pos[6] = "12345678";
    pos[9] = "00";
    pos[14] = "A1B2C3";
    return pos;
}

JournalRecord at(JournalRecord r, const char* time)
{
    r.time = time;
    return r;
}

JournalReplay journalOf(const std::vector<JournalRecord>& records)
{
    std::string bytes;
    for (const JournalRecord& r : records)
        bytes += encodeJournalRecord(r);
    return replayJournal(bytes);
}

// Job 1 on channel 1 took an approval, then its document failed.
std::vector<JournalRecord> failedSale()
{
    return {at(acceptedRecord(1, 1, kept()), kApprovedAt),
            at(cardApprovedRecord(1, 1, kept(), "1250", approvedPos()), kApprovedAt),
            at(outcomeRecord(1, JobResult::NoAnswer, "E509: Coperchio stampante aperto", "", "SR_ERR", "x\r\n", false,
                             false),
               "2026-12-06 14:00:05")};
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

RequestStamp withMtime(RequestStamp s, std::int64_t mtime)
{
    s.mtime = mtime;
    return s;
}

class ApprovalReuseRule : public ::testing::TestWithParam<ReuseRow> { };

TEST_P(ApprovalReuseRule, Decides)
{
    const ReuseRow& row = GetParam();
    EXPECT_EQ(decideApprovalReuse(theOpenApproval(failedSale()), row.channel, row.current, row.now, kBound),
              row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ApprovalReuseRule,
    ::testing::Values(
        ReuseRow{"sameFile", 1, kept(), "2026-12-06 14:01:00", ApprovalVerdict::Reuse},
        ReuseRow{"sameFileAtTheBound", 1, kept(), "2026-12-06 14:15:00", ApprovalVerdict::Reuse},
        ReuseRow{"rewrittenWithTheSameBytes", 1, withMtime(kept(), kept().mtime + 40), "2026-12-06 14:01:00",
                 ApprovalVerdict::RequestChanged},
        ReuseRow{"otherBytesSameSize", 1,
                 withMtime(stampOfBytes("PAGA,V1250,P2\r\nSALE,T=LATTE,P=12,50\r\nCARD,V1251\r\n"), kept().mtime),
                 "2026-12-06 14:01:00", ApprovalVerdict::RequestChanged},
        ReuseRow{"requestUnreadable", 1, std::nullopt, "2026-12-06 14:01:00", ApprovalVerdict::RequestChanged},
        ReuseRow{"otherChannel", 2, kept(), "2026-12-06 14:01:00", ApprovalVerdict::Keep},
        ReuseRow{"afterTheBound", 1, kept(), "2026-12-06 14:15:01", ApprovalVerdict::Expired},
        ReuseRow{"nextDay", 1, kept(), "2026-12-07 14:01:00", ApprovalVerdict::Expired},
        ReuseRow{"clockSetBack", 1, kept(), "2026-12-06 13:59:00", ApprovalVerdict::Expired}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ApprovalReuse, AfterACrashTheSettledApprovalIsStillOpenAndReusable)
{
    // The crash stopped job 1 after the approval; the start-up settled it as
    // failed, with the request still the same file.
    std::vector<JournalRecord> records{at(acceptedRecord(1, 1, kept()), kApprovedAt),
                                       at(cardApprovedRecord(1, 1, kept(), "1250", approvedPos()), kApprovedAt)};
    ASSERT_EQ(decideApprovalReuse(theOpenApproval(records), 1, kept(), "2026-12-06 14:01:00", kBound),
              ApprovalVerdict::Unsettled);
    records.push_back(
        at(outcomeRecord(1, JobResult::Network, "E...", "", "SR_ERR", "x\r\n", true, true), "2026-12-06 14:02:00"));
    EXPECT_EQ(decideApprovalReuse(theOpenApproval(records), 1, kept(), "2026-12-06 14:03:00", kBound),
              ApprovalVerdict::Reuse);
}

TEST(ApprovalReuse, AnApprovalEndsWhenADocumentIsPrintedWithItOrItIsGivenUp)
{
    auto records = failedSale();
    const OpenApproval approval = theOpenApproval(records);

    // A retry that failed again keeps it open, carried by the retry.
    records.push_back(at(acceptedRecord(2, 1, kept()), "2026-12-06 14:01:00"));
    records.push_back(at(approvalReusedRecord(2, approval), "2026-12-06 14:01:00"));
    records.push_back(
        at(outcomeRecord(2, JobResult::NoAnswer, "E509", "", "SR_ERR", "x\r\n", false, false), "2026-12-06 14:01:02"));
    ASSERT_EQ(theOpenApproval(records).lastJob, 2u);

    auto printed = records;
    printed.push_back(at(acceptedRecord(3, 1, kept()), "2026-12-06 14:02:00"));
    printed.push_back(at(approvalReusedRecord(3, approval), "2026-12-06 14:02:00"));
    printed.push_back(
        at(outcomeRecord(3, JobResult::Ok, "OK", "0042", "FINESCO", "x\r\n", false, false), "2026-12-06 14:02:05"));
    EXPECT_TRUE(openApprovals(journalOf(printed)).empty());

    auto givenUp = records;
    givenUp.push_back(at(approvalNotUsedRecord(approval, 3, kNotUsedNewRequest), "2026-12-06 14:02:00"));
    EXPECT_TRUE(openApprovals(journalOf(givenUp)).empty());
    const std::vector<std::string> lines = approvalHistoryLines(journalOf(givenUp));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "APPROVAZIONE POS NON USATA lavoro 1 canale 1: importo 12,50 EUR, aut. A1B2C3, terminale "
                        "12345678, del 2026-12-06 14:00:00; nuova richiesta sul canale (2026-12-06 14:02:00)");
}

TEST(ApprovalReuse, EachChannelKeepsItsOwnApproval)
{
    auto records = failedSale();
    RequestStamp other = stampOfBytes("PAGA,V500,P1\r\n");
    other.mtime = 1796565700;
    records.push_back(at(acceptedRecord(2, 3, other), "2026-12-06 14:00:30"));
    records.push_back(at(cardApprovedRecord(2, 3, other, "500", approvedPos()), "2026-12-06 14:00:30"));
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

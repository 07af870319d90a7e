#include "driver/CardApprovals.h"

#include "platform/Clock.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

// What a job on channel 2 does to an approval left open on channel 1: it
// keeps it while a retry on channel 1 could still use it, and gives it up as
// not used once the bound has passed.
struct OtherChannelRow {
    const char* name;
    LocalDateTime jobTime;
    bool givenUp;
};

class ApprovalOnAnotherChannel : public ::testing::TestWithParam<OtherChannelRow> { };

TEST_P(ApprovalOnAnotherChannel, IsGivenUpOnlyPastTheBound)
{
    test::TempDir dir;
    FixedClock clock(LocalDateTime{2026, 12, 6, 14, 0, 0});
    JobJournal journal(dir.path(), clock);
    ASSERT_TRUE(journal.open());
    ExchangeFiles files(dir.path(), clock);
    CardApprovals approvals(journal, files, clock, kDefaultApprovalReuseSeconds);

    RequestStamp sale = stampOfBytes("PAGA,V1250,P2\r\nSALE,N1,P1250\r\nCARD,V1250\r\n");
    sale.mtime = 1796565600;
    PosFields pos{};
    pos[14] = "A1B2C3";
    const std::uint64_t failed = journal.beginJob(1, sale);
    journal.append(cardApprovedRecord(failed, 1, sale, "1250", pos));
    journal.append(outcomeRecord(failed, JobResult::CoverOpen, "E509", "", "SR_ERR", "E509\r\n", false, false));

    clock.set(GetParam().jobTime);
    const std::uint64_t other = journal.beginJob(2, stampOfBytes("CASH,V100\r\n"));
    EXPECT_FALSE(approvals.approvalFor(other));
    EXPECT_EQ(openApprovals(journal.state()).empty(), GetParam().givenUp);
    const std::string log = dir.read("LOGFILE.TXT");
    EXPECT_EQ(log.find("Approvazione POS NON USATA del lavoro 1 canale 1") != std::string::npos, GetParam().givenUp)
        << log;
}

INSTANTIATE_TEST_SUITE_P(Rows, ApprovalOnAnotherChannel,
                         ::testing::Values(OtherChannelRow{"withinTheBound", {2026, 12, 6, 14, 10, 0}, false},
                                           OtherChannelRow{"pastTheBound", {2026, 12, 6, 14, 20, 0}, true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1

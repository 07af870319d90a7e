#include "exchange/JobJournal.h"
#include "exchange/ApprovalReuse.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tavor1 {
namespace {

using test::TempDir;

const RequestStamp kStamp = stampOfBytes("SALE,T=LATTE,P=1,00\r\nTEND,T=1\r\n");

PosFields approvedPos()
{
    PosFields pos{};
    pos[13] = "****1234";
    pos[4] = "tab\there\r\nline \\ end \xE8"; // what a payment service could send
    return pos;
}

std::string fileOf(const std::vector<JournalRecord>& records)
{
    std::string file;
    for (const JournalRecord& r : records)
        file += encodeJournalRecord(r);
    return file;
}

TEST(JournalReplay, GivesBackTheValuesEachStepRecorded)
{
    const std::string srOut = "TIME,CASS. 1 14:05 CASSA   1 ,E,A1;\r\nDATE,06/12/26  SCONTR. N.0013,E,A1;\r\n";
    const JournalReplay replay = replayJournal(fileOf(
        {acceptedRecord(4, 2, kStamp), cardApprovedRecord(4, 2, kStamp, "1500", approvedPos()),
         countersRecord(4, "0012/0000/0012/0000/0003"), documentBegunRecord(4),
         outcomeRecord(4, JobResult::Network, "E520: Errore di connessione rete", "0013", "SR_ERR", srOut, true, true),
         acceptedRecord(5, 2, kStamp), outcomeRecord(5, JobResult::Network, "E520", "", "none", "", false, true)}));
    ASSERT_EQ(replay.jobs.size(), 2u);
    const JournalJob& job = replay.jobs.front();
    EXPECT_EQ(job.channel, 2);
    EXPECT_TRUE(job.request.sameContent(kStamp));
    EXPECT_EQ(job.cardAmount, "1500");
    EXPECT_EQ(job.pos, approvedPos());
    EXPECT_EQ(job.countersBefore, "0012/0000/0012/0000/0003");
    EXPECT_EQ(job.resultText, "E520: Errore di connessione rete");
    EXPECT_EQ(job.receiptNumber, "0013");
    EXPECT_EQ(job.answerBytes, srOut);
    EXPECT_TRUE(job.settled);
    EXPECT_FALSE(replay.jobs[1].unanswered()) << "a request that was gone has no host to answer";
}

const std::string kOutcomeLine =
    encodeJournalRecord(outcomeRecord(1, JobResult::Ok, "OK", "1", "FINESCO", "", false, false));
const std::string kBegunLine = encodeJournalRecord(documentBegunRecord(1));

// A journal of one job, accepted and then begun, with a record of a newer
// driver and a damaged line between the two, and perhaps a torn last line.
struct DamageRow {
    const char* name;
    std::string damagedLine;
    std::string tail;
    int damaged;
    bool torn;
};

class DamagedJournal : public ::testing::TestWithParam<DamageRow> { };

TEST_P(DamagedJournal, SkipsTheDamageAndKeepsEverythingElse)
{
    const DamageRow& row = GetParam();
    JournalRecord future;
    future.kindName = "refund";
    future.job = 1;
    future.time = "2026-12-06 10:00:00";
    future.set("amount", "100");
    const std::string file = fileOf({acceptedRecord(1, 1, kStamp), future}) + row.damagedLine + kBegunLine + row.tail;

    const JournalReplay replay = replayJournal(file);
    EXPECT_EQ(replay.damagedRecords, row.damaged);
    EXPECT_EQ(replay.tornTail, row.torn);
    ASSERT_EQ(replay.jobs.size(), 1u);
    EXPECT_TRUE(replay.jobs[0].documentBegun);
    EXPECT_TRUE(replay.jobs[0].inFlight()) << "a torn outcome was never decided";
    ASSERT_EQ(replay.records.size(), 3u);
    EXPECT_EQ(replay.records[1].kind, JournalRecordKind::Unknown);
    EXPECT_EQ(encodeJournalRecord(replay.records[1]), encodeJournalRecord(future)) << "kept as written";
}

INSTANTIATE_TEST_SUITE_P(
    Damage, DamagedJournal,
    ::testing::Values(DamageRow{"changedByte", std::string(kOutcomeLine).replace(20, 1, "X"), "", 1, false},
                      DamageRow{"emptyLine", "\n", "", 1, false},
                      DamageRow{"garbage", "0000dead garbage in the middle\n", "", 1, false},
                      DamageRow{"tornOutcome", "", kOutcomeLine.substr(0, kOutcomeLine.size() / 2), 1, true}),
    [](const auto& info) { return std::string(info.param.name); });

class JobJournalFile : public ::testing::Test {
protected:
    TempDir dir;
    FixedClock clock{LocalDateTime{2026, 12, 6, 14, 5, 9}};

    // A whole job: accepted, begun, decided, answered.
    static void runJob(JobJournal& journal, bool leaveOpen = false)
    {
        const std::uint64_t id = journal.beginJob(1, kStamp);
        ASSERT_NE(id, 0u);
        ASSERT_TRUE(journal.append(documentBegunRecord(id)));
        ASSERT_TRUE(journal.append(outcomeRecord(id, leaveOpen ? JobResult::Network : JobResult::Ok, "t", "1",
                                                 "FINESCO", std::string(300, 'x'), leaveOpen, false)));
        ASSERT_TRUE(journal.append(answeredRecord(id, "FINESCO")));
    }
};

TEST_F(JobJournalFile, NumbersJobsOnAcrossRestartsAndTornTails)
{
    {
        JobJournal journal(dir.path(), clock);
        ASSERT_TRUE(journal.open());
        runJob(journal);
        EXPECT_EQ(journal.beginJob(2, kStamp), 2u);
    }
    // Power cut in the middle of the next record.
    dir.write(std::string(kJournalFileName), dir.read(kJournalFileName) + kBegunLine.substr(0, 7));

    JobJournal journal(dir.path(), clock);
    ASSERT_TRUE(journal.open());
    ASSERT_EQ(journal.jobsInFlight().size(), 1u);
    EXPECT_EQ(journal.jobsInFlight()[0].id, 2u);
    EXPECT_EQ(journal.jobsInFlight()[0].acceptedAt, "2026-12-06 14:05:09");
    EXPECT_EQ(journal.beginJob(3, kStamp), 3u);

    const JournalReplay again = JobJournal::read(dir.path());
    EXPECT_EQ(again.damagedRecords, 0) << "the record after the torn one is readable";
    EXPECT_EQ(again.jobs.size(), 3u);
}

TEST_F(JobJournalFile, StaysBoundedKeepingUnfinishedJobsApprovalsNotPrintedAndTheNewest)
{
    JournalLimits limits;
    limits.compactAboveBytes = 8 * 1024;
    limits.keepFinishedJobs = 5;
    JobJournal journal(dir.path(), clock, limits);
    ASSERT_TRUE(journal.open());
    runJob(journal, /*leaveOpen=*/true); // job 1: its document still waits for a cancel
    const std::uint64_t interrupted = journal.beginJob(2, kStamp);
    const auto failedCardJob = [&] {
        const std::uint64_t id = journal.beginJob(3, kStamp);
        journal.append(cardApprovedRecord(id, 3, kStamp, "1500", approvedPos()));
        journal.append(outcomeRecord(id, JobResult::CoverOpen, "E509", "", "SR_ERR", "E509\r\n", false, false));
        journal.append(answeredRecord(id, "SR_ERR"));
        return id;
    };
    const std::uint64_t givenUp = failedCardJob();
    journal.append(approvalNotUsedRecord(*openApprovalOf(journal.state(), 3), 0, kNotUsedNewRequest));
    const std::uint64_t approved = failedCardJob();
    for (int i = 0; i < 30; ++i) {
        runJob(journal);
        journal.compactIfLarge();
    }
    EXPECT_LT(std::filesystem::file_size(journal.path()), 2 * limits.compactAboveBytes);

    journal.compact();
    const JournalReplay replay = JobJournal::read(dir.path());
    ASSERT_EQ(replay.jobs.size(), 4u + limits.keepFinishedJobs);
    EXPECT_TRUE(replay.jobs[0].documentStillOpen());
    EXPECT_EQ(replay.jobs[1].id, interrupted);
    EXPECT_TRUE(replay.jobs[1].inFlight());
    EXPECT_EQ(openApprovalOf(replay, 3).value_or(OpenApproval{}).approvedInJob, approved);
    EXPECT_EQ(givenUpApprovalJobs(replay), std::vector<std::uint64_t>{givenUp});
    EXPECT_EQ(journal.lastJobs(3).back().id, 34u);
    EXPECT_EQ(journal.beginJob(1, kStamp), 35u);
    ASSERT_TRUE(journal.documentLeftOpen());
    EXPECT_EQ(journal.documentLeftOpen()->id, 1u);
}

TEST_F(JobJournalFile, AnUnwritableJournalRefusesTheJobNumber)
{
    JobJournal journal(dir.file("no such folder"), clock);
    ASSERT_TRUE(journal.open());
    EXPECT_EQ(journal.beginJob(1, kStamp), 0u);
    EXPECT_TRUE(journal.state().jobs.empty());
}

TEST(RequestStamp, OfAFileIsThatOfItsBytesWithItsTime)
{
    TempDir dir;
    const std::optional<RequestStamp> a = stampOfFile(dir.write("SR_DATI.001", "SALE,T=A,P=1,00\r\n"));
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->sameContent(stampOfBytes("SALE,T=A,P=1,00\r\n")));
    EXPECT_GT(a->mtime, 0);
    EXPECT_FALSE(stampOfFile(dir.file("SR_DATI.002")));
}

} // namespace
} // namespace tavor1

#include "exchange/JobJournal.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tavor1 {
namespace {

using test::TempDir;

const RequestStamp kStamp = stampOfBytes("SALE,T=LATTE,P=1,00\r\nTEND,T=1\r\n");

PosFields approvedPos()
{
    PosFields pos{};
    pos[0] = "PAGA";
    pos[1] = "1500";
    pos[9] = "00";
    pos[13] = "****1234";
    pos[4] = "tab\there\r\nline \\ end \xE8"; // what a payment service could send
    return pos;
}

// Every builder survives the trip through a line of the file.
struct RecordRow {
    const char* name;
    JournalRecord record;
};

class JournalRecordLine : public ::testing::TestWithParam<RecordRow> { };

TEST_P(JournalRecordLine, ReadsBackAsWritten)
{
    JournalRecord r = GetParam().record;
    r.time = "2026-12-06 14:05:09";
    const std::string line = encodeJournalRecord(r);
    ASSERT_EQ(line.back(), '\n');
    ASSERT_EQ(line.find('\n'), line.size() - 1) << line;
    const std::optional<JournalRecord> back = decodeJournalRecord(std::string_view(line).substr(0, line.size() - 1));
    ASSERT_TRUE(back) << line;
    EXPECT_EQ(back->kind, r.kind);
    EXPECT_EQ(back->job, r.job);
    EXPECT_EQ(back->time, r.time);
    EXPECT_EQ(back->fields, r.fields) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Records, JournalRecordLine,
    ::testing::Values(
        RecordRow{"accepted", acceptedRecord(7, 3, kStamp)},
        RecordRow{"cardApproved", cardApprovedRecord(7, 3, kStamp, "1500", approvedPos())},
        RecordRow{"counters", countersRecord(7, "0012/0000/0012/0000/0003")},
        RecordRow{"begun", documentBegunRecord(7)},
        RecordRow{"outcomeWithSrOut",
                  outcomeRecord(7, JobResult::Ok, "TAVOR1 TERMINATO : OK", "0013", "FINESCO",
                                "TIME,CASS. 1 14:05 CASSA   1 ,E,A1;\r\nDATE,06/12/26  SCONTR. N.0013,E,A1;\r\n", false,
                                false)},
        RecordRow{"outcomeSettledOpen", outcomeRecord(7, JobResult::Network, "E520: Errore di connessione rete", "",
                                                      "SR_ERR", "E520: Errore di connessione rete\r\n", true, true)},
        RecordRow{"answered", answeredRecord(7, "SR_ERR")}, RecordRow{"cancelled", cancelledRecord(7)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JournalRecordLine, AChangedByteOrACutLineIsRefused)
{
    JournalRecord r = acceptedRecord(1, 2, kStamp);
    r.time = "2026-12-06 14:05:09";
    std::string line = encodeJournalRecord(r);
    line.pop_back();
    std::string flipped = line;
    flipped[20] ^= 0x01;
    EXPECT_FALSE(decodeJournalRecord(flipped));
    EXPECT_FALSE(decodeJournalRecord(line.substr(0, line.size() - 3)));
    EXPECT_FALSE(decodeJournalRecord(""));
}

// A journal file made of these records, in order, replays into this job.
struct ReplayRow {
    const char* name;
    std::vector<JournalRecord> records;
    std::function<void(const JournalJob&)> expect;
    bool inFlight;
    bool unanswered;
    bool documentOpen;
};

class JournalReplayOfOneJob : public ::testing::TestWithParam<ReplayRow> { };

TEST_P(JournalReplayOfOneJob, TellsWhereTheJobStopped)
{
    const ReplayRow& row = GetParam();
    std::string file = encodeJournalRecord(acceptedRecord(4, 2, kStamp));
    for (const JournalRecord& r : row.records)
        file += encodeJournalRecord(r);
    const JournalReplay replay = replayJournal(file);
    ASSERT_EQ(replay.jobs.size(), 1u);
    const JournalJob& job = replay.jobs.front();
    EXPECT_EQ(job.id, 4u);
    EXPECT_EQ(job.channel, 2);
    EXPECT_TRUE(job.request.sameContent(kStamp));
    EXPECT_EQ(job.inFlight(), row.inFlight);
    EXPECT_EQ(job.unanswered(), row.unanswered);
    EXPECT_EQ(job.documentStillOpen(), row.documentOpen);
    if (row.expect)
        row.expect(job);
    EXPECT_EQ(replay.damagedRecords, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, JournalReplayOfOneJob,
    ::testing::Values(ReplayRow{"acceptedOnly", {}, nullptr, true, false, false},
                      ReplayRow{"cardApproved",
                                {cardApprovedRecord(4, 2, kStamp, "1500", approvedPos())},
                                [](const JournalJob& j) {
                                    EXPECT_TRUE(j.cardApproved);
                                    EXPECT_EQ(j.pos, approvedPos());
                                    EXPECT_FALSE(j.documentBegun);
                                },
                                true,
                                false,
                                false},
                      ReplayRow{"documentBegun",
                                {countersRecord(4, "1/2/3/4/5"), documentBegunRecord(4)},
                                [](const JournalJob& j) {
                                    EXPECT_EQ(j.countersBefore, "1/2/3/4/5");
                                    EXPECT_TRUE(j.documentBegun);
                                },
                                true,
                                false,
                                false},
                      ReplayRow{"outcomeNotYetAnswered",
                                {documentBegunRecord(4),
                                 outcomeRecord(4, JobResult::Ok, "OK", "0009", "FINESCO", "srout", false, false)},
                                [](const JournalJob& j) {
                                    EXPECT_EQ(j.receiptNumber, "0009");
                                    EXPECT_EQ(j.answerBytes, "srout");
                                },
                                false,
                                true,
                                false},
                      ReplayRow{"answered",
                                {outcomeRecord(4, JobResult::Ok, "OK", "0009", "FINESCO", "srout", false, false),
                                 answeredRecord(4, "FINESCO")},
                                nullptr,
                                false,
                                false,
                                false},
                      ReplayRow{"failedWithDocumentLeftOpen",
                                {documentBegunRecord(4),
                                 outcomeRecord(4, JobResult::Network, "E520", "", "SR_ERR", "E520\r\n", true, false),
                                 answeredRecord(4, "SR_ERR")},
                                [](const JournalJob& j) { EXPECT_EQ(j.result, JobResult::Network); },
                                false,
                                false,
                                true},
                      ReplayRow{"leftOpenThenCancelled",
                                {outcomeRecord(4, JobResult::Network, "E520", "", "SR_ERR", "E520\r\n", true, false),
                                 answeredRecord(4, "SR_ERR"), cancelledRecord(4)},
                                nullptr,
                                false,
                                false,
                                false},
                      ReplayRow{"requestGoneOutcomeOnlyRecorded",
                                {outcomeRecord(4, JobResult::Network, "E520", "", "none", "", false, true)},
                                [](const JournalJob& j) { EXPECT_TRUE(j.settled); },
                                false,
                                false,
                                false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JournalReplay, SkipsDamagedLinesAndRecordsOfNewerDrivers)
{
    JournalRecord future;
    future.kindName = "refund";
    future.job = 1;
    future.time = "2026-12-06 10:00:00";
    future.set("amount", "100");
    std::string file = encodeJournalRecord(acceptedRecord(1, 1, kStamp));
    file += encodeJournalRecord(future);
    file += "0000dead garbage in the middle\n";
    file += encodeJournalRecord(documentBegunRecord(1));
    std::string torn = encodeJournalRecord(outcomeRecord(1, JobResult::Ok, "OK", "1", "FINESCO", "", false, false));
    file += torn.substr(0, torn.size() / 2);

    const JournalReplay replay = replayJournal(file);
    ASSERT_EQ(replay.jobs.size(), 1u);
    EXPECT_TRUE(replay.jobs[0].documentBegun);
    EXPECT_TRUE(replay.jobs[0].inFlight()) << "a torn outcome was never decided";
    EXPECT_EQ(replay.damagedRecords, 2);
    EXPECT_TRUE(replay.tornTail);
    ASSERT_EQ(replay.records.size(), 3u);
    EXPECT_EQ(replay.records[1].kind, JournalRecordKind::Unknown);
    EXPECT_EQ(encodeJournalRecord(replay.records[1]), encodeJournalRecord(future)) << "kept as written";
}

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
    const std::string half = encodeJournalRecord(documentBegunRecord(2));
    dir.write(std::string(kJournalFileName), dir.read(kJournalFileName) + half.substr(0, 7));

    JobJournal journal(dir.path(), clock);
    ASSERT_TRUE(journal.open());
    EXPECT_EQ(journal.state().damagedRecords, 0) << "the torn tail is dropped on opening";
    ASSERT_EQ(journal.jobsInFlight().size(), 1u);
    EXPECT_EQ(journal.jobsInFlight()[0].id, 2u);
    EXPECT_EQ(journal.jobsInFlight()[0].acceptedAt, "2026-12-06 14:05:09");
    EXPECT_EQ(journal.beginJob(3, kStamp), 3u);

    const JournalReplay again = JobJournal::read(dir.path());
    EXPECT_EQ(again.damagedRecords, 0) << "the record after the torn one is readable";
    EXPECT_EQ(again.jobs.size(), 3u);
}

TEST_F(JobJournalFile, StaysBoundedKeepingUnfinishedAndNewestJobs)
{
    JournalLimits limits;
    limits.compactAboveBytes = 8 * 1024;
    limits.keepFinishedJobs = 5;
    JobJournal journal(dir.path(), clock, limits);
    ASSERT_TRUE(journal.open());
    runJob(journal, /*leaveOpen=*/true); // job 1: its document still waits for a cancel
    const std::uint64_t interrupted = journal.beginJob(2, kStamp);
    for (int i = 0; i < 100; ++i) {
        runJob(journal);
        journal.compactIfLarge();
    }
    const std::uint64_t size = std::filesystem::file_size(journal.path());
    EXPECT_LT(size, 2 * limits.compactAboveBytes);

    const JournalReplay replay = JobJournal::read(dir.path());
    ASSERT_GE(replay.jobs.size(), 7u);
    EXPECT_EQ(replay.jobs[0].id, 1u);
    EXPECT_TRUE(replay.jobs[0].documentStillOpen());
    EXPECT_EQ(replay.jobs[1].id, interrupted);
    EXPECT_TRUE(replay.jobs[1].inFlight());
    EXPECT_EQ(replay.jobs.back().id, 102u);

    journal.compact();
    EXPECT_EQ(JobJournal::read(dir.path()).jobs.size(), 2u + limits.keepFinishedJobs);
    EXPECT_EQ(journal.lastJobs(3).back().id, 102u);
    EXPECT_EQ(journal.beginJob(1, kStamp), 103u);
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

TEST(RequestStamp, TellsARewrittenRequestFromTheSameOne)
{
    TempDir dir;
    const std::string path = dir.write("SR_DATI.001", "SALE,T=A,P=1,00\r\n");
    const std::optional<RequestStamp> a = stampOfFile(path);
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->sameContent(stampOfBytes("SALE,T=A,P=1,00\r\n")));
    EXPECT_GT(a->mtime, 0);
    EXPECT_FALSE(a->sameContent(stampOfBytes("SALE,T=A,P=2,00\r\n")));
    EXPECT_FALSE(stampOfFile(dir.file("SR_DATI.002")));
}

} // namespace
} // namespace tavor1

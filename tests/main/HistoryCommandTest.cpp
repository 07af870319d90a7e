#include "main/HistoryCommand.h"
#include "platform/ByteFiles.h"
#include "platform/Clock.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tavor1 {
namespace {

struct ArgsRow {
    const char* name;
    std::vector<std::string> argv;
    std::size_t count;
    const char* errorPart; // empty: understood
};

class HistoryArgsTable : public ::testing::TestWithParam<ArgsRow> { };

TEST_P(HistoryArgsTable, ReadsTheCommandLine)
{
    const ArgsRow& row = GetParam();
    const HistoryArgs a = parseHistoryArgs(row.argv);
    if (*row.errorPart) {
        EXPECT_NE(a.error.find(row.errorPart), std::string::npos) << a.error;
        return;
    }
    EXPECT_EQ(a.error, "");
    EXPECT_EQ(a.count, row.count);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, HistoryArgsTable,
                         ::testing::Values(ArgsRow{"defaults", {}, 20, ""},
                                           ArgsRow{"count", {"-n", "5", "--data-dir", "/d"}, 5, ""},
                                           ArgsRow{"zeroJobs", {"-n", "0"}, 0, "-n"},
                                           ArgsRow{"notANumber", {"-n", "x5"}, 0, "-n"},
                                           ArgsRow{"missingValue", {"--data-dir"}, 0, "needs a value"},
                                           ArgsRow{"unknown", {"--all"}, 0, "--all"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Prints the newest jobs, oldest first, with what is pending for each, and
// changes nothing in the data directory.
TEST(HistoryCommand, PrintsTheLastJobsWithoutTouchingTheFolder)
{
    test::TempDir dir;
    FixedClock clock(LocalDateTime{2026, 12, 6, 9, 15, 0});
    JobJournal journal(dir.path(), clock);
    ASSERT_TRUE(journal.open());
    const RequestStamp stamp = stampOfBytes("CASH,V100\r\n");
    for (int i = 0; i < 3; ++i) {
        const std::uint64_t id = journal.beginJob(2, stamp);
        journal.append(
            outcomeRecord(id, JobResult::Ok, "TUTTO OK", "0001-000" + std::to_string(id), "FINESCO", "", false, false));
        journal.append(answeredRecord(id, "FINESCO"));
    }
    PosFields pos{};
    pos[13] = "****4321";
    pos[14] = "A1B2C3";
    const std::uint64_t card = journal.beginJob(1, stamp);
    journal.append(cardApprovedRecord(card, 1, stamp, "1830", pos));
    journal.append(documentBegunRecord(card));
    const std::string before = *readFileBytes(journal.path());

    std::ostringstream out, err;
    const int status = runHistoryCommand(
        {"-n", "2", "--data-dir", dir.path()}, [](const std::optional<std::string>& d) { return d.value_or(""); }, out,
        err);
    EXPECT_EQ(status, 0) << err.str();
    EXPECT_EQ(out.str(),
              "2026-12-06 09:15:00  COM2  job 3  0 TUTTO OK  receipt 0001-0003\n"
              "2026-12-06 09:15:00  COM1  job 4  in flight (interrupted; settled at the next start)  card 1830 "
              "****4321 auth A1B2C3\n"
              // The approval its sale has not used yet, listed whatever -n says.
              "APPROVAZIONE POS IN SOSPESO lavoro 4 canale 1: importo 18,30 EUR, aut. A1B2C3, terminale , del "
              "2026-12-06 09:15:00\n");
    EXPECT_EQ(*readFileBytes(journal.path()), before);

    std::ostringstream none, noneErr;
    EXPECT_EQ(runHistoryCommand(
                  {}, [&](const std::optional<std::string>&) { return dir.file("vuota"); }, none, noneErr),
              1);
    EXPECT_NE(noneErr.str().find("not a directory"), std::string::npos);
}

} // namespace
} // namespace tavor1

// What each answer of a job writes, also when a file of it cannot be written
// or deleted for a while: what the host sees after the first attempt and once
// it went through.

#include "exchange/JobAnswer.h"
#include "exchange/ExchangeFiles.h"
#include "support/FaultyFileOps.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <vector>

namespace tavor1 {
namespace {

using F = ExchangeFile;
using FileSet = std::set<ExchangeFile>;

constexpr int kChannel = 2;

struct AnswerRow {
    const char* name;
    bool success;
    // SR_OUT kept in memory by the job, or none.
    const char* output;
    // An SR_ERR line a paper end wrote during the job stands beside the answer.
    bool staleErrorLine;
    // The file whose write or delete is refused, and how many times.
    const char* refusedWrite;
    const char* refusedDelete;
    int refusals;
    // After the first attempt.
    FileSet afterFirst;
    // Attempts until delivered (1: at once), and the files then (none: as after the first).
    int attemptsToDeliver;
    FileSet delivered;
    // The go signal stayed and is remembered as served.
    bool goSignalStuck = false;
};

void PrintTo(const AnswerRow& row, std::ostream* os)
{
    *os << row.name;
}

class JobAnswerFiles : public ::testing::TestWithParam<AnswerRow> {
protected:
    FileSet present() const
    {
        FileSet out;
        for (F f : {F::SR_START, F::SR_DATI, F::SR_MATR, F::SR_OUT, F::SR_ERR, F::FINESCO})
            if (files.exists(f, kChannel))
                out.insert(f);
        return out;
    }
    std::string read(F f) const { return dir.read(exchangeFileName(f, kChannel)); }

    test::TempDir dir;
    FixedClock clock{LocalDateTime{2026, 12, 6, 9, 15, 0}};
    test::FaultyFileOps ops;
    ExchangeFiles files{dir.path(), clock, ops};
};

TEST_P(JobAnswerFiles, AreWrittenInOrderAndNoStepTwice)
{
    const AnswerRow& row = GetParam();
    for (F f : {F::SR_START, F::SR_DATI, F::SR_MATR})
        dir.write(exchangeFileName(f, kChannel), "x");
    dir.write(exchangeFileName(F::SR_OUT, kChannel), "");
    if (row.staleErrorLine)
        dir.write(exchangeFileName(F::SR_ERR, kChannel), "E096: Fine carta scontrino, sostituire rotolo\r\n");
    if (*row.refusedWrite)
        ops.failReplace(row.refusedWrite, row.refusals);
    if (*row.refusedDelete)
        ops.failRemove(row.refusedDelete, row.refusals);
    const AnswerProgress first = row.attemptsToDeliver > 1 ? AnswerProgress::Pending : AnswerProgress::Delivered;

    JobAnswer answer;
    answer.channel = kChannel;
    answer.success = row.success;
    answer.errorLine = "E504: Nessun messaggio ricevuto: controllare connessione con l'Ecr";
    if (row.output)
        answer.output = row.output;
    std::optional<FileIdentity> stuck;

    EXPECT_EQ(deliverJobAnswer(files, answer, stuck), first);
    EXPECT_EQ(present(), row.afterFirst);
    // A host that already had its go signal or request consumed may write
    // the next request; a later attempt must leave it alone.
    const bool requestConsumed = !files.exists(F::SR_DATI, kChannel);
    if (requestConsumed)
        dir.write(exchangeFileName(F::SR_DATI, kChannel), "next request");

    int attempts = 1;
    for (AnswerProgress p = first; p == AnswerProgress::Pending && attempts < 10; ++attempts)
        p = deliverJobAnswer(files, answer, stuck);
    EXPECT_EQ(attempts, row.attemptsToDeliver);

    FileSet expected = row.delivered.empty() ? row.afterFirst : row.delivered;
    if (requestConsumed)
        expected.insert(F::SR_DATI);
    EXPECT_EQ(present(), expected);
    if (requestConsumed) {
        EXPECT_EQ(read(F::SR_DATI), "next request") << "a later attempt deleted the host's next request";
    }
    if (row.success) {
        EXPECT_EQ(read(F::FINESCO), "finesco");
    } else {
        EXPECT_EQ(read(F::SR_ERR), answer.errorLine + "\r\n");
    }
    if (row.output) {
        EXPECT_EQ(read(F::SR_OUT), row.output);
    }
    EXPECT_EQ(stuck.has_value(), row.goSignalStuck);

    const std::string log = dir.read("LOGFILE.TXT");
    if (row.attemptsToDeliver > 1) {
        EXPECT_EQ(log.find("non scritta"), log.rfind("non scritta")) << "logged once, not at every attempt:\n" << log;
        EXPECT_NE(log.find("Risposta canale 2 scritta al tentativo " + std::to_string(row.attemptsToDeliver)),
                  std::string::npos)
            << log;
    }
}

const char kOutput[] = "DATE,05/12/2026 14:30\r\n  SCONTR. N.0001-0001,E,A1;\r\n";

constexpr int kAlways = test::FaultyFileOps::kAlways;
const FileSet kAnswered{F::SR_MATR, F::SR_OUT, F::FINESCO};
const FileSet kRefused{F::SR_DATI, F::SR_MATR, F::SR_OUT, F::SR_ERR};
const FileSet kUntouched{F::SR_START, F::SR_DATI, F::SR_MATR, F::SR_OUT};

INSTANTIATE_TEST_SUITE_P(
    Faults, JobAnswerFiles,
    // clang-format off
    ::testing::ValuesIn(std::vector<AnswerRow>{
        {"SuccessClearsAStaleErrorLine", true, nullptr, true, "", "", 0, kAnswered, 1, {}},
        {"FinescoRefusedTwice", true, nullptr, false, "FINESCO.002", "", 2, {F::SR_MATR, F::SR_OUT}, 3, kAnswered},
        {"SrErrRefusedKeepsTheGoSignalUntilItIsWritten", false, nullptr, false, "SR_ERR.002", "", 1,
         kUntouched, 2, kRefused},
        {"KeptSrOutGoesBeforeFinesco", true, kOutput, false, "SR_OUT.002", "", 1, kUntouched, 2, kAnswered},
        {"KeptSrOutGoesBeforeSrErr", false, kOutput, false, "", "", 0, kRefused, 1, {}},
        {"AnErrorLineThatWillNotGoHoldsFinescoBack", true, nullptr, true, "", "SR_ERR.002", 1,
         {F::SR_START, F::SR_DATI, F::SR_MATR, F::SR_OUT, F::SR_ERR}, 2, kAnswered},
        {"AnUndeletableGoSignalDoesNotHoldTheAnswerBack", true, nullptr, false, "", "SR_START.002", kAlways,
         {F::SR_START, F::SR_MATR, F::SR_OUT, F::FINESCO}, 1, {}, true}}),
    // clang-format on
    [](const ::testing::TestParamInfo<AnswerRow>& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1

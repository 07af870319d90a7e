// The answer of a job when a file of it cannot be written or deleted for a
// while: what the host sees after the first attempt and once it went through.

#include "exchange/JobAnswer.h"
#include "exchange/ExchangeFiles.h"
#include "support/FaultyFileOps.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

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
    // The faults, and any file the row adds to the job's.
    std::function<void(test::FaultyFileOps&, const test::TempDir&)> faults;
    // After the first attempt.
    AnswerProgress first;
    FileSet afterFirst;
    // Attempts until delivered, and the files then.
    int attemptsToDeliver;
    FileSet delivered;
    // The go signal stayed and is remembered as served.
    bool goSignalStuck = false;
};

class PendingJobAnswer : public ::testing::TestWithParam<AnswerRow> {
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

TEST_P(PendingJobAnswer, IsWrittenInOrderAndNoStepTwice)
{
    const AnswerRow& row = GetParam();
    for (F f : {F::SR_START, F::SR_DATI, F::SR_MATR})
        dir.write(exchangeFileName(f, kChannel), "x");
    dir.write(exchangeFileName(F::SR_OUT, kChannel), "");
    row.faults(ops, dir);

    JobAnswer answer;
    answer.channel = kChannel;
    answer.success = row.success;
    answer.errorLine = "E504: Nessun messaggio ricevuto: controllare connessione con l'Ecr";
    if (row.output)
        answer.output = row.output;
    std::optional<FileIdentity> stuck;

    EXPECT_EQ(deliverJobAnswer(files, answer, stuck), row.first);
    EXPECT_EQ(present(), row.afterFirst);
    // A host that already had its go signal or request consumed may write
    // the next request; a later attempt must leave it alone.
    const bool requestConsumed = !files.exists(F::SR_DATI, kChannel);
    if (requestConsumed)
        dir.write(exchangeFileName(F::SR_DATI, kChannel), "next request");

    int attempts = 1;
    while (row.first == AnswerProgress::Pending && attempts < 10 &&
           deliverJobAnswer(files, answer, stuck) == AnswerProgress::Pending)
        ++attempts;
    if (row.first == AnswerProgress::Pending)
        ++attempts;
    EXPECT_EQ(attempts, row.attemptsToDeliver);

    FileSet expected = row.delivered;
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

INSTANTIATE_TEST_SUITE_P(
    Faults, PendingJobAnswer,
    ::testing::Values(AnswerRow{"SuccessWrittenAtOnce",
                                true,
                                nullptr,
                                [](test::FaultyFileOps&, const test::TempDir&) {},
                                AnswerProgress::Delivered,
                                {F::SR_MATR, F::SR_OUT, F::FINESCO},
                                1,
                                {F::SR_MATR, F::SR_OUT, F::FINESCO}},
                      AnswerRow{"FinescoRefusedTwice",
                                true,
                                nullptr,
                                [](test::FaultyFileOps& o, const test::TempDir&) { o.failReplace("FINESCO.002", 2); },
                                AnswerProgress::Pending,
                                {F::SR_MATR, F::SR_OUT},
                                3,
                                {F::SR_MATR, F::SR_OUT, F::FINESCO}},
                      AnswerRow{"SrErrRefusedKeepsTheGoSignalUntilItIsWritten",
                                false,
                                nullptr,
                                [](test::FaultyFileOps& o, const test::TempDir&) { o.failReplace("SR_ERR.002", 1); },
                                AnswerProgress::Pending,
                                {F::SR_START, F::SR_DATI, F::SR_MATR, F::SR_OUT},
                                2,
                                {F::SR_DATI, F::SR_MATR, F::SR_OUT, F::SR_ERR}},
                      AnswerRow{"KeptSrOutGoesBeforeFinesco",
                                true,
                                kOutput,
                                [](test::FaultyFileOps& o, const test::TempDir&) { o.failReplace("SR_OUT.002", 1); },
                                AnswerProgress::Pending,
                                {F::SR_START, F::SR_DATI, F::SR_MATR, F::SR_OUT},
                                2,
                                {F::SR_MATR, F::SR_OUT, F::FINESCO}},
                      AnswerRow{"KeptSrOutGoesBeforeSrErr",
                                false,
                                kOutput,
                                [](test::FaultyFileOps&, const test::TempDir&) {},
                                AnswerProgress::Delivered,
                                {F::SR_DATI, F::SR_MATR, F::SR_OUT, F::SR_ERR},
                                1,
                                {F::SR_DATI, F::SR_MATR, F::SR_OUT, F::SR_ERR}},
                      AnswerRow{"AnErrorLineThatWillNotGoHoldsFinescoBack",
                                true,
                                nullptr,
                                // The line a paper end wrote during the job.
                                [](test::FaultyFileOps& o, const test::TempDir& d) {
                                    d.write("SR_ERR.002", "E096: Fine carta scontrino, sostituire rotolo\r\n");
                                    o.failRemove("SR_ERR.002", 1);
                                },
                                AnswerProgress::Pending,
                                {F::SR_START, F::SR_DATI, F::SR_MATR, F::SR_OUT, F::SR_ERR},
                                2,
                                {F::SR_MATR, F::SR_OUT, F::FINESCO}},
                      AnswerRow{"AnUndeletableGoSignalDoesNotHoldTheAnswerBack",
                                true,
                                nullptr,
                                [](test::FaultyFileOps& o, const test::TempDir&) { o.failRemove("SR_START.002"); },
                                AnswerProgress::Delivered,
                                {F::SR_START, F::SR_MATR, F::SR_OUT, F::FINESCO},
                                1,
                                {F::SR_START, F::SR_MATR, F::SR_OUT, F::FINESCO},
                                true},
                      AnswerRow{"AFailureWithAnUndeletableGoSignal",
                                false,
                                nullptr,
                                [](test::FaultyFileOps& o, const test::TempDir&) { o.failRemove("SR_START.002"); },
                                AnswerProgress::Delivered,
                                {F::SR_START, F::SR_DATI, F::SR_MATR, F::SR_OUT, F::SR_ERR},
                                1,
                                {F::SR_START, F::SR_DATI, F::SR_MATR, F::SR_OUT, F::SR_ERR},
                                true}),
    [](const ::testing::TestParamInfo<AnswerRow>& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1

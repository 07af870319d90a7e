#include "soak/JobCheck.h"

#include <gtest/gtest.h>

#include <functional>

namespace tavor1::soak {
namespace {

// A job that printed its receipt and answered FINESCO.
JobObservation printed()
{
    JobObservation o;
    o.ended = true;
    o.finesco = true;
    o.finescoBytes = "finesco";
    o.marker = MarkerCount{1, 1, 0, 14};
    o.srOutBytes = "TIME,CASS. 1 07:39 CASSA   1 ,E,A1;\r\nDATE,06/12/26  SCONTR. N.0001-0014,E,A1;\r\n";
    o.expectation = Expectation::Either;
    return o;
}

// A job that failed before anything was printed.
JobObservation failed()
{
    JobObservation o;
    o.ended = true;
    o.srErr = true;
    o.srErrBytes = "E504: Nessun messaggio ricevuto: controllare connessione con l'Ecr\r\n";
    o.srDati = true;
    return o;
}

using Change = std::function<void(JobObservation&)>;

struct CheckCase {
    const char* name;
    JobObservation (*base)();
    Change change;
    // A text the verdict must hold; empty: the job kept every invariant.
    const char* broken;
};

JobObservation nothing() { return JobObservation{}; }
const Change kAsIs = [](JobObservation&) {};

class JobCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(JobCheckTest, Verdict)
{
    const CheckCase& c = GetParam();
    JobObservation o = c.base();
    c.change(o);
    std::string all;
    for (const std::string& b : checkJob(o))
        all += b + "\n";
    if (std::string(c.broken).empty())
        EXPECT_EQ(all, "");
    else
        EXPECT_NE(all.find(c.broken), std::string::npos) << all;
}

INSTANTIATE_TEST_SUITE_P(
    Soak, JobCheckTest,
    ::testing::Values(
        CheckCase{"PrintedAndFinesco", printed, kAsIs, ""},
        CheckCase{"FailedWithTheRequestKeptForTheHost", failed, kAsIs, ""},
        CheckCase{"NoAnswerInTime", nothing, [](JobObservation& o) { o.srStart = true; },
                  "within the time limit (SR_START still there)"},
        CheckCase{"BothAnswers", printed, [](JobObservation& o) { o.srErr = true; }, "both FINESCO and SR_ERR"},
        CheckCase{"GoSignalLeftBehind", printed, [](JobObservation& o) { o.srStart = true; },
                  "SR_START is still there"},
        CheckCase{"FinescoWithNothingPrinted", printed, [](JobObservation& o) { o.marker.completed = 0; },
                  "not on the roll exactly once (printed 0, on the roll 1)"},
        CheckCase{"SrOutNamesAnotherReceipt", printed, [](JobObservation& o) { o.marker.receiptNumber = 15; },
                  "SR_OUT does not name receipt 15"},
        CheckCase{"PrintedTwice", printed, [](JobObservation& o) { o.marker.total = 2; }, "on the roll 2 times"},
        CheckCase{"AnotherJobsDocumentPrintedAgain", printed, [](JobObservation& o) { o.duplicatedJobs = {17}; },
                  "marker of job 17 is on the roll more than once"},
        CheckCase{"FailedJobLostItsRequest", failed, [](JobObservation& o) { o.srDati = false; },
                  "SR_DATI is gone although the job failed"},
        CheckCase{"PrintedButReportedFailed", failed, [](JobObservation& o) { o.marker.completed = 1; },
                  "the host would print it again"},
        CheckCase{"CleanJobFailed", failed, [](JobObservation& o) { o.expectation = Expectation::Success; },
                  "must not make the job fail"},
        CheckCase{"DeclinedPaymentAnsweredFinesco", printed,
                  [](JobObservation& o) { o.expectation = Expectation::Failure; }, "must make the job fail"},
        CheckCase{"SrErrOfTwoLines", failed, [](JobObservation& o) { o.srErrBytes = "E504: uno\r\nE504: due\r\n"; },
                  "not one line"},
        CheckCase{"DriverGone", printed, [](JobObservation& o) { o.driverAlive = false; }, "no longer running"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1::soak

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
JobObservation failed(const std::string& line = "E504: Nessun messaggio ricevuto: controllare connessione con l'Ecr\r\n")
{
    JobObservation o;
    o.ended = true;
    o.srErr = true;
    o.srErrBytes = line;
    o.srDati = true;
    return o;
}

struct CheckCase {
    const char* name;
    std::function<JobObservation()> observation;
    // A text the verdict must hold; empty: the job kept every invariant.
    const char* broken;
};

class JobCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(JobCheckTest, Verdict)
{
    const CheckCase& c = GetParam();
    const std::vector<std::string> broken = checkJob(c.observation());
    std::string all;
    for (const std::string& b : broken)
        all += b + "\n";
    if (std::string(c.broken).empty())
        EXPECT_TRUE(broken.empty()) << all;
    else
        EXPECT_NE(all.find(c.broken), std::string::npos) << all;
}

INSTANTIATE_TEST_SUITE_P(
    Soak, JobCheckTest,
    ::testing::Values(
        CheckCase{"PrintedAndFinesco", [] { return printed(); }, ""},
        CheckCase{"FailedKeepingTheRequest", [] { return failed(); }, ""},
        CheckCase{"FailedAfterTheHostDeletedTheRequest",
                  [] {
                      auto o = failed("E506: Trasmissione non avvenuta: file di input non presente\r\n");
                      o.srDati = false;
                      o.requestDeletedByHost = true;
                      return o;
                  },
                  ""},
        CheckCase{"NoAnswerInTime",
                  [] {
                      JobObservation o;
                      o.srStart = true;
                      return o;
                  },
                  "within the time limit (SR_START still there)"},
        CheckCase{"BothAnswers",
                  [] {
                      auto o = printed();
                      o.srErr = true;
                      o.srErrBytes = "E096: Fine carta scontrino, sostituire rotolo\r\n";
                      return o;
                  },
                  "both FINESCO and SR_ERR"},
        CheckCase{"GoSignalLeftBehind",
                  [] {
                      auto o = printed();
                      o.srStart = true;
                      return o;
                  },
                  "SR_START is still there"},
        CheckCase{"FinescoWithNothingPrinted",
                  [] {
                      auto o = printed();
                      o.marker = MarkerCount{1, 0, 1};
                      return o;
                  },
                  "not on the roll exactly once (printed 0, on the roll 1)"},
        CheckCase{"SrOutNamesAnotherReceipt",
                  [] {
                      auto o = printed();
                      o.marker.receiptNumber = 15;
                      return o;
                  },
                  "SR_OUT does not name receipt 15"},
        CheckCase{"SrOutEmpty",
                  [] {
                      auto o = printed();
                      o.srOutBytes.clear();
                      return o;
                  },
                  "SR_OUT does not name receipt 14"},
        CheckCase{"PrintedTwice",
                  [] {
                      auto o = printed();
                      o.marker = MarkerCount{2, 2, 0};
                      return o;
                  },
                  "on the roll 2 times"},
        CheckCase{"AnotherJobsDocumentPrintedAgain",
                  [] {
                      auto o = printed();
                      o.duplicatedJobs = {17};
                      return o;
                  },
                  "marker of job 17 is on the roll more than once"},
        CheckCase{"FailedJobLostItsRequest",
                  [] {
                      auto o = failed();
                      o.srDati = false;
                      return o;
                  },
                  "SR_DATI is gone although the job failed"},
        CheckCase{"PrintedButReportedFailed",
                  [] {
                      auto o = failed("E509: Coperchio stampante aperto : ERRORE 37\r\n");
                      o.marker = MarkerCount{1, 1, 0};
                      return o;
                  },
                  "the host would print it again"},
        CheckCase{"JournalWarningAfterThePrint",
                  [] {
                      auto o = failed("E507: Giornale elettronico in esaurimento : ERRORE 31\r\n");
                      o.marker = MarkerCount{1, 1, 0};
                      return o;
                  },
                  ""},
        CheckCase{"CleanJobFailed",
                  [] {
                      auto o = failed();
                      o.expectation = Expectation::Success;
                      return o;
                  },
                  "must not make the job fail"},
        CheckCase{"DeclinedPaymentAnsweredFinesco",
                  [] {
                      auto o = printed();
                      o.expectation = Expectation::Failure;
                      return o;
                  },
                  "must make the job fail"},
        CheckCase{"SrErrOfTwoLines", [] { return failed("E504: uno\r\nE504: due\r\n"); }, "not one line"},
        CheckCase{"DriverGone",
                  [] {
                      auto o = printed();
                      o.driverAlive = false;
                      return o;
                  },
                  "no longer running"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1::soak

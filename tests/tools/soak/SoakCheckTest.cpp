#include "soak/CrashCheck.h"
#include "soak/JobCheck.h"

#include <gtest/gtest.h>

#include <functional>

namespace tavor1::soak {
namespace {

// Every invariant held ("") or the text of the one that broke is there.
void expectVerdict(const std::vector<std::string>& broken, const std::string& expected)
{
    std::string all;
    for (const std::string& b : broken)
        all += b + "\n";
    if (expected.empty())
        EXPECT_EQ(all, "");
    else
        EXPECT_NE(all.find(expected), std::string::npos) << all;
}

// A job that printed its receipt and answered FINESCO.
const JobObservation kPrinted = [] {
    JobObservation o;
    o.ended = o.finesco = true;
    o.finescoBytes = "finesco";
    o.marker = MarkerCount{1, 1, 0, 14};
    o.srOutBytes = "TIME,CASS. 1 07:39 CASSA   1 ,E,A1;\r\nDATE,06/12/26  SCONTR. N.0001-0014,E,A1;\r\n";
    return o;
}();

// A job that failed before anything was printed.
const JobObservation kFailed = [] {
    JobObservation o;
    o.ended = o.srErr = o.srDati = true;
    o.srErrBytes = "E504: Nessun messaggio ricevuto: controllare connessione con l'Ecr\r\n";
    return o;
}();

struct JobCase {
    const char* name;
    JobObservation job;
    std::function<void(JobObservation&)> change;
    const char* broken; // "" when every invariant held
};

class JobCheckTest : public ::testing::TestWithParam<JobCase> { };

TEST_P(JobCheckTest, Verdict)
{
    JobObservation o = GetParam().job;
    GetParam().change(o);
    expectVerdict(checkJob(o), GetParam().broken);
}

const JobCase kJobCases[] = {
    {"PrintedAndFinesco", kPrinted, [](auto&) {}, ""},
    {"FailedWithTheRequestKeptForTheHost", kFailed, [](auto&) {}, ""},
    {"NoAnswerInTime", JobObservation{}, [](auto& o) { o.srStart = true; }, "time limit (SR_START still there)"},
    {"BothAnswers", kPrinted, [](auto& o) { o.srErr = true; }, "both FINESCO and SR_ERR"},
    {"GoSignalLeftBehind", kPrinted, [](auto& o) { o.srStart = true; }, "SR_START is still there"},
    {"FinescoWithNothingPrinted", kPrinted, [](auto& o) { o.marker.completed = 0; }, "(printed 0, on the roll 1)"},
    {"SrOutNamesAnotherReceipt", kPrinted, [](auto& o) { o.marker.receiptNumber = 15; }, "does not name receipt 15"},
    {"PrintedTwice", kPrinted, [](auto& o) { o.marker.total = 2; }, "on the roll 2 times"},
    {"AnotherJobPrintedAgain", kPrinted, [](auto& o) { o.duplicatedJobs = {17}; }, "job 17 is on the roll"},
    {"FailedJobLostItsRequest", kFailed, [](auto& o) { o.srDati = false; }, "SR_DATI is gone although the job failed"},
    {"PrintedButReportedFailed", kFailed, [](auto& o) { o.marker.completed = 1; }, "the host would print it again"},
    {"CleanJobFailed", kFailed, [](auto& o) { o.expectation = Expectation::Success; }, "must not make the job fail"},
    {"DeclinedPaymentAnsweredFinesco", kPrinted, [](auto& o) { o.expectation = Expectation::Failure; },
     "must make the job fail"},
    {"SrErrOfTwoLines", kFailed, [](auto& o) { o.srErrBytes = "E504: uno\r\nE504: due\r\n"; }, "not one line"},
    {"DriverGone", kPrinted, [](auto& o) { o.driverAlive = false; }, "no longer running"}};

INSTANTIATE_TEST_SUITE_P(Soak, JobCheckTest, ::testing::ValuesIn(kJobCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A sale killed in mid-document, answered SR_ERR after the restart,
// resubmitted and printed once: the cancelled receipt and the printed one.
const CycleObservation kRecovered = [] {
    CycleObservation o;
    o.goSignals = {GoSignalOutcome{1, false, "E520: Errore di connessione rete"}, GoSignalOutcome{1, true, ""}};
    o.marker = MarkerCount{2, 1, 0, 7};
    return o;
}();

struct CycleCase {
    const char* name;
    std::function<void(CycleObservation&)> change;
    const char* broken;
};

class CrashCycleCheck : public ::testing::TestWithParam<CycleCase> { };

TEST_P(CrashCycleCheck, Verdict)
{
    CycleObservation o = kRecovered;
    GetParam().change(o);
    expectVerdict(checkCycle(o), GetParam().broken);
}

const CycleCase kCycleCases[] = {
    {"CancelledThenPrintedOnce", [](auto&) {}, ""},
    {"DeletedAtRestartWithoutAnswer", [](auto& o) { o.goSignals = {GoSignalOutcome{}}; }, "was never answered"},
    {"AnsweredBeforeAndAfterTheRestart", [](auto& o) { o.goSignals[1].answers = 2; }, "2 of 2 was answered 2 times"},
    {"FailureLostItsRequest", [](auto& o) { o.goSignals[0].srDatiKept = false; }, "gone: the host cannot resubmit"},
    {"RequestDeletedByARestartAfterTheFailure", [](auto& o) { o.goSignals[0].srDatiLostBeforeResubmit = true; },
     "gone before the host could resubmit"},
    {"FinescoForACancelledReceipt", [](auto& o) { o.marker.completed = 0; }, "a failure reported as success"},
    {"ResubmittedAfterThePrint", [](auto& o) { o.marker.completed = 2; }, "the sale is printed 2 times"},
    {"AnEarlierSaleReplayed", [](auto& o) { o.duplicatedJobs = {4}; }, "job 4 is on the roll more than once"},
    {"ReceiptLeftOpen", [](auto& o) { o.documentLeftOpen = "receipt"; }, "still has a receipt document open"},
    {"DriverDidNotComeBack", [](auto& o) { o.startFailures = {"start 3: died"}; }, "did not start: start 3"}};

INSTANTIATE_TEST_SUITE_P(Soak, CrashCycleCheck, ::testing::ValuesIn(kCycleCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct ChargeCase {
    const char* name;
    SaleCharges sale;
    std::set<std::string> notUsed;
    const char* broken;
};

class CrashChargeCheck : public ::testing::TestWithParam<ChargeCase> { };

TEST_P(CrashChargeCheck, Verdict)
{
    expectVerdict(checkCharges(GetParam().sale, GetParam().notUsed), GetParam().broken);
}

const Charge k45{45, "1250", "A00045"};
const Charge k46{46, "1250", "A00046"};

const ChargeCase kChargeCases[] = {
    {"ChargedOncePrinted", SaleCharges{true, {k45}, true}, {}, ""},
    {"ChargedGivenUpListed", SaleCharges{true, {k45}, false}, {"A00045"}, ""},
    {"ChargedGivenUpForgotten", SaleCharges{true, {k45}, false}, {}, "approval 000045 aut. A00045"},
    {"ChargedAgainOnTheResubmission",
     SaleCharges{true, {k45, k46}, true},
     {},
     "the sale was charged 2 times: 000045 aut. A00045 (1250 cents), 000046 aut. A00046 (1250 cents)"},
    {"TheFirstChargeUnaccounted", SaleCharges{true, {k45, k46}, true}, {"A00046"}, "approval 000045"},
    {"PrintedAsPaidWithoutACharge", SaleCharges{true, {}, true}, {}, "the card was never charged"}};

INSTANTIATE_TEST_SUITE_P(Soak, CrashChargeCheck, ::testing::ValuesIn(kChargeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NotUsedApprovals, TheHistorysApprovalLines)
{
    const std::string history =
        "2026-12-06 14:48:24  COM4  job 60  0 TUTTO OK  receipt 0001-0049  card 6182 ************1234 auth A00051\n"
        "APPROVAZIONE POS NON USATA lavoro 3 canale 1: importo 12,50 EUR, aut. A00046, terminale 12345678, del "
        "2026-12-06 14:30:12; nuova richiesta sul canale (2026-12-06 14:31:00)\n"
        "APPROVAZIONE POS IN SOSPESO lavoro 9 canale 2: importo 1,00 EUR, aut. A00052, terminale 12345678, del x\n"
        "APPROVAZIONE POS NON USATA lavoro 4 canale 1: importo 2,00 EUR, aut. , terminale , del x\n";
    EXPECT_EQ(parseNotUsedApprovals(history), (std::set<std::string>{"A00046", "A00052"}));
}

} // namespace
} // namespace tavor1::soak

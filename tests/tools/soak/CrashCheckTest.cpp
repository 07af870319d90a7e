#include "soak/CrashCheck.h"

#include <gtest/gtest.h>

#include <functional>

namespace tavor1::soak {
namespace {

GoSignalOutcome finesco()
{
    GoSignalOutcome g;
    g.answers = 1;
    g.finesco = true;
    return g;
}

GoSignalOutcome srErr(const char* line = "E520: Errore di connessione rete")
{
    GoSignalOutcome g;
    g.answers = 1;
    g.srErrLine = line;
    return g;
}

// A sale killed in mid-document, answered SR_ERR after the restart,
// resubmitted and printed once.
CycleObservation recovered()
{
    CycleObservation o;
    o.goSignals = {srErr(), finesco()};
    o.marker = MarkerCount{2, 1, 0, 7}; // the cancelled receipt and the printed one
    return o;
}

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

using Change = std::function<void(CycleObservation&)>;

struct CycleCase {
    const char* name;
    Change change;
    const char* broken; // "" when every invariant held
};

class CrashCycleCheck : public ::testing::TestWithParam<CycleCase> { };

TEST_P(CrashCycleCheck, Verdict)
{
    const CycleCase& c = GetParam();
    CycleObservation o = recovered();
    c.change(o);
    expectVerdict(checkCycle(o), c.broken);
}

INSTANTIATE_TEST_SUITE_P(
    Soak, CrashCycleCheck,
    ::testing::Values(
        CycleCase{"CancelledThenPrintedOnce", [](CycleObservation&) {}, ""},
        CycleCase{"DeletedAtRestartWithoutAnswer", [](CycleObservation& o) { o.goSignals = {GoSignalOutcome{}}; },
                  "the go signal was never answered"},
        CycleCase{"AnsweredBeforeAndAfterTheRestart", [](CycleObservation& o) { o.goSignals[1].answers = 2; },
                  "go signal 2 of 2 was answered 2 times"},
        CycleCase{"FailureLostItsRequest", [](CycleObservation& o) { o.goSignals[0].srDatiKept = false; },
                  "SR_DATI was gone"},
        CycleCase{"RequestDeletedByARestartAfterTheFailure",
                  [](CycleObservation& o) { o.goSignals[0].srDatiLostBeforeResubmit = true; },
                  "with SR_DATI kept, but SR_DATI was gone before the host could resubmit"},
        CycleCase{"FinescoForACancelledReceipt", [](CycleObservation& o) { o.marker.completed = 0; },
                  "a failure reported as success"},
        CycleCase{"ResubmittedAfterThePrint", [](CycleObservation& o) { o.marker.completed = 2; },
                  "the sale is printed 2 times"},
        CycleCase{"AnEarlierSaleReplayed", [](CycleObservation& o) { o.duplicatedJobs = {4}; },
                  "marker of job 4 is on the roll more than once"},
        CycleCase{"ReceiptLeftOpen", [](CycleObservation& o) { o.documentLeftOpen = "receipt"; },
                  "still has a receipt document open"},
        CycleCase{"DriverDidNotComeBack",
                  [](CycleObservation& o) { o.startFailures = {"start 3: tavor1 ended during its start-up"}; },
                  "the driver did not start: start 3"}),
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

INSTANTIATE_TEST_SUITE_P(
    Soak, CrashChargeCheck,
    ::testing::Values(
        ChargeCase{"ChargedOncePrinted", SaleCharges{true, {k45}, true}, {}, ""},
        ChargeCase{"ChargedGivenUpListed", SaleCharges{true, {k45}, false}, {"A00045"}, ""},
        ChargeCase{"ChargedGivenUpForgotten", SaleCharges{true, {k45}, false}, {}, "approval 000045 aut. A00045"},
        ChargeCase{"ChargedAgainOnTheResubmission",
                   SaleCharges{true, {k45, k46}, true},
                   {},
                   "the sale was charged 2 times: 000045 aut. A00045 (1250 cents), 000046 aut. A00046 (1250 cents)"},
        ChargeCase{"TheFirstChargeUnaccounted", SaleCharges{true, {k45, k46}, true}, {"A00046"}, "approval 000045"},
        ChargeCase{"PrintedAsPaidWithoutACharge", SaleCharges{true, {}, true}, {}, "the card was never charged"}),
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

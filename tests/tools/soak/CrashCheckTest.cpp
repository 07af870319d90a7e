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
    std::string all;
    for (const std::string& b : checkCycle(o))
        all += b + "\n";
    if (std::string(c.broken).empty())
        EXPECT_EQ(all, "");
    else
        EXPECT_NE(all.find(c.broken), std::string::npos) << all;
}

INSTANTIATE_TEST_SUITE_P(
    Soak, CrashCycleCheck,
    ::testing::Values(
        CycleCase{"CancelledThenPrintedOnce", [](CycleObservation&) {}, ""},
        CycleCase{"SettledAsPrintedAtRestart",
                  [](CycleObservation& o) {
                      o.goSignals = {finesco()};
                      o.marker = MarkerCount{1, 1, 0, 7};
                  },
                  ""},
        CycleCase{"GivenUpAfterThreeFailures",
                  [](CycleObservation& o) {
                      o.goSignals = {srErr(), srErr(), srErr()};
                      o.marker = MarkerCount{};
                  },
                  ""},
        CycleCase{"DeletedAtRestartWithoutAnswer", [](CycleObservation& o) { o.goSignals = {GoSignalOutcome{}}; },
                  "the go signal was never answered"},
        CycleCase{"AnsweredBeforeAndAfterTheRestart", [](CycleObservation& o) { o.goSignals[1].answers = 2; },
                  "go signal 2 of 2 was answered 2 times"},
        CycleCase{"FailureLostItsRequest", [](CycleObservation& o) { o.goSignals[0].srDatiKept = false; },
                  "SR_DATI was gone"},
        CycleCase{"RequestDeletedByARestartAfterTheFailure",
                  [](CycleObservation& o) {
                      o.goSignals = {srErr()};
                      o.goSignals[0].srDatiLostBeforeResubmit = true;
                      o.marker = MarkerCount{};
                  },
                  "with SR_DATI kept, but SR_DATI was gone before the host could resubmit"},
        CycleCase{"FinescoForACancelledReceipt",
                  [](CycleObservation& o) {
                      o.marker = MarkerCount{1, 0, 0};
                  },
                  "a failure reported as success"},
        CycleCase{"ResubmittedAfterThePrint",
                  [](CycleObservation& o) {
                      o.marker = MarkerCount{2, 2, 0, 8};
                  },
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
    const ChargeCase& c = GetParam();
    std::string all;
    for (const std::string& b : checkCharges(c.sale, c.notUsed))
        all += b + "\n";
    if (std::string(c.broken).empty())
        EXPECT_EQ(all, "");
    else
        EXPECT_NE(all.find(c.broken), std::string::npos) << all;
}

const Charge k45{45, "1250"};
const Charge k46{46, "1250"};

INSTANTIATE_TEST_SUITE_P(
    Soak, CrashChargeCheck,
    ::testing::Values(ChargeCase{"CashSale", SaleCharges{false, {}, true}, {}, ""},
                      ChargeCase{"ChargedOncePrinted", SaleCharges{true, {k45}, true}, {}, ""},
                      ChargeCase{"NeverChargedNeverPrinted", SaleCharges{true, {}, false}, {}, ""},
                      ChargeCase{"ChargedGivenUpListed", SaleCharges{true, {k45}, false}, {"000045"}, ""},
                      ChargeCase{
                          "ChargedGivenUpForgotten",
                          SaleCharges{true, {k45}, false},
                          {},
                          "approval 000045 (1250 cents) is neither in a printed document nor listed as not used"},
                      ChargeCase{"ChargedAgainOnTheResubmission",
                                 SaleCharges{true, {k45, k46}, true},
                                 {},
                                 "the sale was charged 2 times: 000045 (1250 cents), 000046 (1250 cents)"},
                      ChargeCase{"TheFirstChargeUnaccounted",
                                 SaleCharges{true, {k45, k46}, true},
                                 {"000046"},
                                 "approval 000045 (1250 cents) is neither"},
                      ChargeCase{"PrintedAsPaidWithoutACharge",
                                 SaleCharges{true, {}, true},
                                 {},
                                 "the card receipt is printed but the card was never charged"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NotUsedApprovals, ASimpleListOfOperationNumbers)
{
    EXPECT_EQ(parseNotUsedApprovals("000045\r\n# header\r\n\r\n  000051 \n000052"),
              (std::set<std::string>{"000045", "000051", "000052"}));
    EXPECT_TRUE(parseNotUsedApprovals("").empty());
    EXPECT_EQ(operationNumber(46), "000046");
}

} // namespace
} // namespace tavor1::soak

#include "driver/JobExecution.h"
#include "driver/JobServices.h"
#include "link/RegisterExchange.h"
#include "support/Recorders.h"
#include "support/ScriptedExchange.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace tavor1 {
namespace {

class FakeServices final : public JobServices {
public:
    bool tracingOn() const override { return tracing; }
    void openTrace() override { open = true; }
    void closeTrace() override { open = false; }
    bool traceOpen() const override { return open; }
    void traceLine(const std::string& t) override { trace.push_back(t); }
    bool connectAndWait(int maxPolls) override
    {
        lastMaxPolls = maxPolls;
        return connects;
    }
    bool connectionLost() const override { return false; }
    RegisterExchange& exchange() override { return reg; }
    bool fileExists(const std::string&) const override { return requestThere; }
    PaymentResult requestCardPayment(const std::string&) override { return payment; }
    bool paymentApproved() const override { return approved; }
    void keepApprovedPayment(const std::string& outPath) override { keptFor = outPath; }
    SendResult sendRequest(const std::string&) override
    {
        ++sends;
        return sendResult;
    }
    JobResult jobResultFor(SendResult code) override { return jobResultForSendResult(code); }
    std::int16_t printPaymentSlip() override
    {
        ++slips;
        return 0;
    }

    test::ScriptedExchange reg;
    bool tracing = true;
    bool open = false;
    std::vector<std::string> trace;
    bool connects = true;
    int lastMaxPolls = 0;
    bool requestThere = true;
    PaymentResult payment = PaymentResult::Ok;
    bool approved = false;
    std::string keptFor;
    SendResult sendResult = SendResult::Complete;
    int sends = 0;
    int slips = 0;
};

JobResult run(FakeServices& s)
{
    return executeJob(s, 20, "/data/SR_DATI.001", "/data/SR_OUT.001");
}

TEST(ExecuteJob, ACompletedDocumentEndsWithEndOfJobAndTheSlip)
{
    FakeServices s;
    EXPECT_EQ(run(s), JobResult::Ok);
    EXPECT_EQ(s.lastMaxPolls, 20);
    EXPECT_EQ(s.reg.sent, (std::vector<std::string>{"1011", "1109"}));
    EXPECT_EQ(s.sends, 1);
    EXPECT_EQ(s.slips, 1);
    EXPECT_EQ(s.trace, (std::vector<std::string>{"Go_Execution: Result = 0"}));
    EXPECT_FALSE(s.open);
}

// One row per way a job can go: its result, whether the document was sent,
// whether the payment slip was printed (-1: not judged), and the trace is
// closed whatever happens.
struct GoCase {
    const char* name;
    std::function<void(FakeServices&)> setup;
    JobResult result;
    int sends;
    int slips;
    const char* sent = nullptr; // the commands sent, one a line; nullptr: not judged
};

class ExecuteJobPaths : public ::testing::TestWithParam<GoCase> { };

TEST_P(ExecuteJobPaths, GiveTheirResult)
{
    const GoCase& c = GetParam();
    FakeServices s;
    c.setup(s);
    EXPECT_EQ(run(s), c.result);
    EXPECT_EQ(s.sends, c.sends);
    if (c.slips >= 0) {
        EXPECT_EQ(s.slips, c.slips);
    }
    if (c.sent) {
        EXPECT_EQ(test::joined(s.reg.sent), c.sent);
    }
    EXPECT_FALSE(s.open) << "the trace stays open";
}

std::function<void(FakeServices&)> statusReply(ExchangeResult result, const char* payload)
{
    return [=](FakeServices& s) { s.reg.script("1011", {result, payload}); };
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, ExecuteJobPaths,
    ::testing::Values(
        GoCase{"NoConnectionSendsNothing", [](FakeServices& s) { s.connects = false; }, JobResult::Network, 0, -1, ""},
        GoCase{"RegisterNotReady", statusReply(ExchangeResult::Accepted, "101101"), JobResult::ReceiptOpen, 0, -1},
        GoCase{"ShortStatusReplyGoesOn", statusReply(ExchangeResult::Accepted, "10110"), JobResult::Ok, 1, -1},
        // The reply left by an earlier exchange (here a not-ready state) must not be judged.
        GoCase{"UnansweredStatusIsNotJudgedOnAStaleReply",
               [](FakeServices& s) {
                   s.reg.payload = "101101";
                   statusReply(ExchangeResult::NoReply, "")(s);
               },
               JobResult::Ok, 1, -1},
        GoCase{"RequestVanishedIsReportedBeforeAnyPayment",
               [](FakeServices& s) {
                   s.requestThere = false;
                   s.payment = PaymentResult::Declined;
               },
               JobResult::RequestVanished, 0, -1},
        GoCase{"FailedPaymentSkipsTheDocumentButPrintsItsSlip",
               [](FakeServices& s) { s.payment = PaymentResult::Declined; }, JobResult::PaymentDeclined, 0, 1,
               "1011\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExecuteJob, AFailedDocumentSkipsTheSlipAndKeepsItsApprovedPaymentForTheHost)
{
    FakeServices s;
    s.approved = true;
    s.sendResult = SendResult::CoverOpen;
    EXPECT_EQ(run(s), JobResult::CoverOpen);
    EXPECT_EQ(s.slips, 0);
    EXPECT_EQ(s.keptFor, "/data/SR_OUT.001");
}

} // namespace
} // namespace tavor1

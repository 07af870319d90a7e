#include "soak/KillPlan.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

namespace tavor1::soak {
namespace {

// A job's events as the simulators see them: "pay" for the payment request,
// "bye" for the driver closing its connection, "open:" before a command that
// comes while the sale's receipt is open, any other text a command outside it.
using Events = std::vector<std::string>;

// The events of "a|b|c".
Events events(const std::string& text)
{
    Events out;
    std::istringstream in(text);
    for (std::string event; std::getline(in, event, '|');)
        out.push_back(event);
    return out;
}

// A card sale: state, payment, the receipt, its closing, SR_OUT queries, end
// of job, the slip.
const Events kCardJob = events("1011|pay|1004|30161|7007|3002110 1 X 5,00|open:7007SOAK|open:3101|open:3007030016CARTA|"
                               "open:3011|70081|1104|1001|30160|1109|40011|4002|700101|4003120* ACQUISTO|4004|bye");
const Events kCashJob = events("1011|1004|30161|3101|open:7007CONTANTI|open:3011|70081|1004|1109|bye");
// The link lost in mid-job, before the end-of-job step.
const Events kLostLink = events("1011|bye");

struct TriggerCase {
    const char* name;
    KillPoint point;
    int nth;
    const Events* job;
    // The event it fires on ("" for none).
    std::string firesOn;
    int firesAtIndex; // index into the job's events
};

// Feeds the events until the trigger fires; the index of that event, or -1.
int feed(KillTrigger& trigger, const Events& job)
{
    for (std::size_t i = 0; i < job.size(); ++i) {
        const std::string& e = job[i];
        const bool open = e.rfind("open:", 0) == 0;
        const bool fired = e == "pay"   ? trigger.onPaymentRequest()
                           : e == "bye" ? trigger.onDisconnect()
                                        : trigger.onRegisterFrame(RegisterFrame{open ? e.substr(5) : e, open});
        if (fired)
            return static_cast<int>(i);
    }
    return -1;
}

class KillTriggerTest : public ::testing::TestWithParam<TriggerCase> { };

TEST_P(KillTriggerTest, FiresOnceOnItsStep)
{
    const TriggerCase& c = GetParam();
    KillTrigger trigger(KillPlan{c.point, c.nth},
                        c.job == &kCardJob ? DocumentShape::CardReceipt : DocumentShape::Receipt);
    const int at = feed(trigger, *c.job);
    EXPECT_EQ(at, c.firesAtIndex) << trigger.firedAt();
    EXPECT_EQ(trigger.fired(), c.firesAtIndex >= 0);
    if (at >= 0) {
        EXPECT_NE(trigger.firedAt().find(c.firesOn), std::string::npos) << trigger.firedAt();
        // Nothing more fires once it has.
        EXPECT_EQ(feed(trigger, *c.job), -1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Soak, KillTriggerTest,
    ::testing::Values(
        TriggerCase{"BeforePaymentOnTheStateRequest", KillPoint::BeforePayment, 1, &kCardJob, "command 1 \"1011\"", 0},
        TriggerCase{"DuringPaymentOnTheRequest", KillPoint::DuringPayment, 1, &kCardJob, "payment request", 1},
        TriggerCase{"AfterApprovalOnTheNextCommand", KillPoint::AfterApproval, 1, &kCardJob, "\"1004\"", 2},
        TriggerCase{"MidDocumentSecondCommandInside", KillPoint::MidDocument, 2, &kCardJob, "\"3101\"", 7},
        TriggerCase{"MidDocumentLongerThanTheDocument", KillPoint::MidDocument, 9, &kCashJob, "\"3011\"", 5},
        TriggerCase{"AtClosingOfTheReceipt", KillPoint::AtClosing, 1, &kCardJob, "\"3011\"", 9},
        TriggerCase{"AfterClosingOnTheNextCommand", KillPoint::AfterClosing, 1, &kCashJob, "\"70081\"", 6},
        TriggerCase{"AtEndOfJob", KillPoint::AtEndOfJob, 1, &kCardJob, "\"1109\"", 14},
        TriggerCase{"MidSlipThirdCommand", KillPoint::MidSlip, 3, &kCardJob, "700101", 17},
        TriggerCase{"MidSlipNotReachedWithoutASlip", KillPoint::MidSlip, 1, &kCashJob, "", -1},
        TriggerCase{"AfterDisconnectOnlyAfterTheEndOfJob", KillPoint::AfterDisconnect, 1, &kCashJob,
                    "connection closed", 9},
        TriggerCase{"AfterDisconnectNotOnALinkLostMidJob", KillPoint::AfterDisconnect, 1, &kLostLink, "", -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KillPlan, ASeedReplaysThePlanAndCardPointsNeedACard)
{
    std::mt19937_64 a(7), b(7);
    std::array<int, kKillPointCount> seen{};
    int gentle = 0;
    for (int i = 0; i < 2000; ++i) {
        const DocumentShape shape = i % 2 ? DocumentShape::CardReceipt : DocumentShape::Receipt;
        const KillPlan p = pickKill(a, shape);
        ASSERT_EQ(p.describe(), pickKill(b, shape).describe());
        if (shape == DocumentShape::Receipt) {
            ASSERT_FALSE(needsPayment(p.point)) << p.describe();
        }
        ++seen[static_cast<std::size_t>(p.point)];
        gentle += p.gentle ? 1 : 0;
    }
    for (int p = 0; p < kKillPointCount; ++p)
        EXPECT_GT(seen[static_cast<std::size_t>(p)], 40) << killPointName(static_cast<KillPoint>(p));
    EXPECT_GT(gentle, 200);
    EXPECT_LT(gentle, 800);
}

} // namespace
} // namespace tavor1::soak

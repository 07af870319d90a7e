#include "soak/FaultPlan.h"
#include "soak/ProcessMemory.h"
#include "soak/RollAudit.h"
#include "soak/SoakOptions.h"
#include "soak/SoakRequest.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include <unistd.h>

namespace tavor1::soak {
namespace {

using regsim::DocumentKind;
using regsim::PrintedDocument;

TEST(RollAudit, CountsEachJobsMarkerByWhatBecameOfItsDocument)
{
    using enum DocumentKind;
    std::vector<PrintedDocument> roll = {
        {.kind = Receipt, .number = 1, .lines = {"SOAK 000001                        10,00", "TOTALE"}, .sealed = true},
        {.kind = CancelledReceipt, .lines = {"SOAK 000002                         1,00"}, .sealed = true},
        {.kind = NonFiscal, .lines = {"SOAK 000003"}, .sealed = true},
        // Closed, its trailer still printing: the receipt is printed.
        {.kind = Receipt, .number = 2, .lines = {"SOAK 000004                         2,00"}},
        {.kind = NonFiscal, .lines = {"SOAK 000005"}},
    };
    RollAudit audit;
    audit.take(roll, 0);
    EXPECT_EQ(audit.count(1).completed, 1);
    EXPECT_EQ(audit.count(2).total, 1);
    EXPECT_EQ(audit.count(2).completed, 0);
    EXPECT_EQ(audit.count(3).completed, 1);
    EXPECT_EQ(audit.count(4).completed, 1);
    EXPECT_EQ(audit.count(4).receiptNumber, 2);
    EXPECT_EQ(audit.count(5).completed, 0);
    EXPECT_EQ(audit.count(5).open, 1);
    EXPECT_TRUE(audit.duplicated().empty());

    // Only the documents from the given index on are new; a reprint of job
    // 1 among them is a duplicate.
    roll.push_back(
        {.kind = Copy, .lines = {"*** COPIA ***", "SOAK 000001                        10,00"}, .sealed = true});
    audit.take(roll, 5);
    EXPECT_EQ(audit.count(1).total, 2);
    EXPECT_EQ(audit.duplicated(), std::vector<int>{1});
}

TEST(SoakRequest, MarkersAreUniqueAndReadBack)
{
    EXPECT_EQ(jobMarker(123), "SOAK 000123");
    EXPECT_EQ(markerJob("SOAK 000123                        12,50"), 123);
    EXPECT_EQ(markerJob("REPARTO 2"), 0);
    EXPECT_EQ(markerJob("SOAK 12"), 0);
    EXPECT_EQ(markerJob("SOAK 0001x3"), 0);

    std::mt19937_64 random(5);
    int cards = 0;
    for (int job = 1; job <= 200; ++job) {
        const SoakRequest r = makeRequest(job, random);
        ASSERT_EQ(r.bytes.find(r.marker), r.bytes.rfind(r.marker)) << r.bytes;
        cards += r.withPayment() ? 1 : 0;
    }
    EXPECT_GT(cards, 20);
}

TEST(FaultPlan, ASeedReplaysThePlanAndPaymentFaultsNeedAPayment)
{
    const ReplyLimits limits;
    std::mt19937_64 a(42), b(42);
    FaultPicker pa(a, limits), pb(b, limits);
    std::array<int, kFaultKindCount> seen{};
    for (int i = 0; i < 3000; ++i) {
        const bool payment = i % 2 == 0;
        const PlannedFault f = pa.pick(payment, 20);
        ASSERT_EQ(f.describe(), pb.pick(payment, 20).describe());
        ++seen[static_cast<std::size_t>(f.kind)];
        if (!payment) {
            ASSERT_TRUE(f.kind != FaultKind::PaymentDeclined && f.kind != FaultKind::PaymentError) << f.describe();
        }
        if (f.kind == FaultKind::Drop || f.kind == FaultKind::ErrorCode || f.kind == FaultKind::Nak) {
            ASSERT_TRUE(f.frame >= 1 && f.frame <= 20) << f.describe();
        }
    }
    for (std::size_t k = 0; k < kFaultKindCount; ++k)
        EXPECT_GT(seen[k], 30) << faultKindName(static_cast<FaultKind>(k));
}

TEST(FaultPlan, WhatAJobMayEndWith)
{
    const ReplyLimits limits{1500, 1500};
    PlannedFault f;
    EXPECT_EQ(expectedOutcome(f, 20, limits), Expectation::Success);
    f.kind = FaultKind::PaymentError;
    EXPECT_EQ(expectedOutcome(f, 2, limits), Expectation::Failure);

    f = PlannedFault{};
    f.kind = FaultKind::Nak;
    f.frame = 25;
    EXPECT_EQ(expectedOutcome(f, 20, limits), Expectation::Success) << "a fault the job never reached";
    EXPECT_EQ(expectedOutcome(f, 25, limits), Expectation::Either);

    f = PlannedFault{};
    f.kind = FaultKind::SlowReply;
    f.frame = 3;
    f.lateFrameDelayMs = 200;
    EXPECT_EQ(expectedOutcome(f, 20, limits), Expectation::Success);
    f.lateFrameDelayMs = 2900;
    EXPECT_EQ(expectedOutcome(f, 20, limits), Expectation::Either) << "the driver gave up on it";
}

TEST(ProcessMemory, ReadsVmRssOfAStatusText)
{
    EXPECT_EQ(parseVmRssKb("Name:\ttavor1\nVmPeak:\t  99999 kB\nVmRSS:\t   21452 kB\nRssAnon:\t 1 kB\n"), 21452);
    EXPECT_EQ(parseVmRssKb("XVmRSS:\t5 kB\nVmRSS:\t7 kB\n"), 7);
    EXPECT_FALSE(parseVmRssKb("Name:\tkthreadd\nState:\tS\n"));
    EXPECT_FALSE(parseVmRssKb("VmRSS:\t\n"));
    const auto own = residentKb(static_cast<std::int64_t>(::getpid()));
    ASSERT_TRUE(own);
    EXPECT_GT(*own, 0);
    EXPECT_FALSE(residentKb(0));
}

TEST(SoakOptions, CommandLine)
{
    const auto p = parseSoakArgs({"--jobs", "200", "--seed", "7", "--tavor1", "/b/tavor1"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.jobs, 200);
    EXPECT_EQ(*p.options.seed, 7u);
    EXPECT_TRUE(p.options.memoryCheck);
    EXPECT_FALSE(parseSoakArgs({"--jobs", "5", "--no-memory-check"}).options.memoryCheck);
    EXPECT_EQ(parseSoakArgs({"--crash", "50"}).options.crashCycles, 50);
    EXPECT_TRUE(parseSoakArgs({"--crash", "50"}).options.chargeCheck);
    EXPECT_FALSE(parseSoakArgs({"--crash", "50", "--no-charge-check"}).options.chargeCheck);

    for (const char* refused : {"", "--crash 0", "--crash 5 --jobs 5", "--jobs 12x", "--jobs 3 --seed -1",
                                "--jobs 3 --keep-dir", "--jobs 3 --fast"}) {
        std::istringstream words(refused);
        const std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
        EXPECT_NE(parseSoakArgs(args).error, "") << refused;
    }
}

} // namespace
} // namespace tavor1::soak

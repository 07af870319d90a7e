#include "driver/JobCycle.h"
#include "driver/DirWatcher.h"
#include "driver/PollSteps.h"
#include "driver/TestReceipt.h"
#include "driver/TimerSetting.h"
#include "exchange/ExchangeFiles.h"
#include "platform/ByteFiles.h"
#include "platform/Sinks.h"
#include "platform/qt/Wait.h"
#include "settings/Options.h"
#include "support/EventLoop.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace tavor1 {
namespace {

using test::waitUntil;

// Stands in for the files and the register: a job waits on channel 1 while
// its SR_START exists; the job itself can be scripted.
class FakeSteps final : public PollSteps {
public:
    explicit FakeSteps(std::string dir) : dataDir(std::move(dir)) {}

    int scanChannels(const std::function<void(int)>& startIdentification) override
    {
        ++scans;
        for (int n = 1; n <= 4; ++n) {
            if (identifyOnScan[n - 1])
                startIdentification(n);
            if (fileExists(startPath(n)))
                return n;
        }
        return 0;
    }
    bool takeJob(int) override { return true; }
    JobResult runJob() override
    {
        ++jobs;
        if (duringJob)
            duringJob();
        return jobResult;
    }
    void finishJob(JobResult, bool abandoned) override
    {
        lastAbandoned = abandoned;
        for (int n = 1; n <= 4; ++n)
            removeFile(startPath(n));
    }
    std::int16_t identify(int) override
    {
        ++identifications;
        return identifyCode;
    }

    std::string startPath(int n) const { return joinPath(dataDir, exchangeFileName(ExchangeFile::SR_START, n)); }

    std::string dataDir;
    int scans = 0, jobs = 0, identifications = 0;
    JobResult jobResult = JobResult::Ok;
    std::int16_t identifyCode = 0;
    bool lastAbandoned = false;
    std::array<bool, 4> identifyOnScan{};
    std::function<void()> duringJob;
};

class JobCycleTest : public ::testing::Test {
protected:
    test::TempDir dir;
    Options options;
    DriverState state;
    test::RecordingMessages messages;
    FakeSteps steps{dir.path()};
    JobCycle cycle{options, state, steps, messages, dir.path()};

    void goSignal(int channel) { ASSERT_TRUE(writeFileBytes(steps.startPath(channel), "00000000\r\n")); }
};

TEST_F(JobCycleTest, PollsAskedForDuringAJobRunOnceAfterItAndTheTimerCannotBeSetMeanwhile)
{
    goSignal(1);
    bool saved = false;
    steps.duringJob = [&] {
        // A timer tick, a watcher event, the Slow button and "Set timer", all while the job waits.
        cycle.onTimer21();
        cycle.poll();
        cycle.selectSlow();
        cycle.setTimer("30", [&](const std::string&) { saved = true; });
    };
    cycle.poll();
    EXPECT_EQ(steps.jobs, 1);
    EXPECT_EQ(messages.texts, std::vector<std::string>{"Connessione in corso, valore non accettato"});
    EXPECT_FALSE(saved);
    const int scansAfterJob = steps.scans;
    ASSERT_TRUE(waitUntil([&] { return steps.scans > scansAfterJob; })) << "the deferred poll never ran";
    EXPECT_EQ(steps.jobs, 1) << "the same go signal was served twice";
}

TEST_F(JobCycleTest, ManyFileEventsDuringOneJobGiveOneJobAndTheWatcherReportsThemAfterIt)
{
    options.OptionFAST = true;
    cycle.startDirWatch();
    ASSERT_TRUE(cycle.isWatching());
    EXPECT_FALSE(cycle.timerActive());
    steps.duringJob = [&] {
        for (int i = 0; i < 20; ++i)
            writeFileBytes(joinPath(dir.path(), "noise" + std::to_string(i)), "x");
        writeFileBytes(steps.startPath(1), "again"); // the same go signal, touched again
        pauseFor(100);
    };
    goSignal(1);
    ASSERT_TRUE(waitUntil([&] { return steps.jobs == 1; })) << "the watcher did not raise a poll";
    const int scansAfterJob = steps.scans;
    ASSERT_TRUE(waitUntil([&] { return steps.scans > scansAfterJob; }))
        << "changes made during the job were not reported after it";
    EXPECT_EQ(steps.jobs, 1);
}

TEST_F(JobCycleTest, SlowModePollsOnTheTimerAndTheTickAfterAJobOnlyReArms)
{
    options.OptionFAST = false;
    options.timerIntervalMs = 20;
    cycle.start();
    ASSERT_TRUE(waitUntil([&] { return steps.scans >= 3; })) << "the timer does not poll";
    goSignal(1);
    ASSERT_TRUE(waitUntil([&] { return steps.jobs == 1; }));
    EXPECT_EQ(cycle.rearmFlag(), 2);
    EXPECT_EQ(cycle.timerInterval(), 1000);
    const int scans = steps.scans;
    cycle.onTimer21(); // the re-arm tick
    EXPECT_EQ(steps.scans, scans);
    EXPECT_EQ(cycle.rearmFlag(), 0);
    EXPECT_EQ(cycle.timerInterval(), 20);
    cycle.onTimer21();
    EXPECT_EQ(steps.scans, scans + 1);
}

TEST_F(JobCycleTest, ASuccessfulIdentificationStartsTheWatcherAndAFailedOneReArmsThePoll)
{
    steps.identifyOnScan[0] = true;
    steps.identifyCode = -8;
    cycle.poll();
    EXPECT_EQ(steps.identifications, 1);
    EXPECT_TRUE(state.channels[0].dumpPending);
    EXPECT_FALSE(cycle.isWatching());
    EXPECT_EQ(cycle.rearmFlag(), 1);
    EXPECT_TRUE(cycle.timerActive());
    EXPECT_FALSE(state.dumpRunning);

    steps.identifyCode = 0;
    cycle.poll();
    EXPECT_FALSE(state.channels[0].dumpPending);
    EXPECT_TRUE(cycle.isWatching());
}

TEST_F(JobCycleTest, AJobThatRunsIntoTheClosingIsAbandonedAndNothingStartsAfterIt)
{
    goSignal(1);
    steps.duringJob = [&] { cycle.stopForClosing(); };
    cycle.poll();
    EXPECT_TRUE(steps.lastAbandoned);
    EXPECT_FALSE(cycle.timerActive());

    steps.identifyOnScan[0] = true;
    goSignal(1);
    cycle.poll();
    EXPECT_EQ(steps.identifications, 0);
    EXPECT_EQ(steps.jobs, 1);
}

TEST_F(JobCycleTest, ClearingOneChannelBoxKeepsThePollTimerForTheOthers)
{
    options.OptionFAST = false;
    cycle.setChannelEnabled(1, true);
    cycle.setChannelEnabled(2, false);
    EXPECT_TRUE(cycle.timerActive());
    for (int n = 1; n <= 4; ++n)
        cycle.setChannelEnabled(n, false);
    EXPECT_FALSE(cycle.timerActive());
}

// ---- the test receipt

class TestReceiptButton : public JobCycleTest {
protected:
    std::string dati(int n) { return readFileBytes(joinPath(dir.path(), exchangeFileName(ExchangeFile::SR_DATI, n))).value_or(""); }
};

TEST_F(TestReceiptButton, DoesNothingWhileHiddenAndWaitsForAnIdentification)
{
    state.channels[0].dumpPending = false;
    EXPECT_FALSE(cycle.runTestReceipt()) << "the window is hidden";
    state.windowShown = true;
    state.channels[0].dumpPending = true;
    std::string shown;
    QObject::connect(&cycle, &JobCycle::registerMessage, [&](const std::string& t) { shown = t; });
    EXPECT_FALSE(cycle.runTestReceipt());
    EXPECT_EQ(shown, "DUMP NON ANCORA ESEGUITO");
    EXPECT_FALSE(state.testReceiptMode) << "a later host request would be sent unconverted";
    EXPECT_EQ(dati(1), "");
}

TEST_F(TestReceiptButton, GoesToTheLastReadyChannelAndOnlyItsJobIsSentAsItStands)
{
    state.windowShown = true;
    state.channels[0].dumpPending = false;
    state.channels[2].dumpPending = false;
    ASSERT_TRUE(cycle.runTestReceipt());
    EXPECT_EQ(dati(1), "");
    EXPECT_EQ(dati(3), buildTestReceipt(options));
    EXPECT_EQ(state.testReceiptChannel, 3);

    // A host job on channel 1 is picked first: it is converted as usual.
    goSignal(1);
    std::vector<bool> modes;
    steps.duringJob = [&] { modes.push_back(state.testReceiptMode); };
    cycle.poll(); // channel 1 (finishJob of the fake removes every go signal)
    goSignal(3);
    cycle.poll();
    EXPECT_EQ(modes, (std::vector<bool>{false, true}));
    EXPECT_EQ(state.testReceiptChannel, 0);
}

TEST(TestReceiptContent, EndsWithLogoAndDrawerAsTheOptionsSay)
{
    Options o;
    o.CheckStampaLogo = true;
    o.chbNoInviaApCassetto = false;
    const std::string r = buildTestReceipt(o);
    EXPECT_NE(r.find("3011\r\n3017011\r\n70081\r\n3013\r\n"), std::string::npos) << r;
    const std::string article = "7007ARTICOLO 1" + std::string(24, ' ') + "\x7F 0,01\r\n";
    EXPECT_NE(r.find(article), std::string::npos);
    o.CheckStampaLogo = false;
    o.chbNoInviaApCassetto = true;
    const std::string plain = buildTestReceipt(o);
    EXPECT_NE(plain.find("300408CONTANTI000000000\r\n3011\r\n3013\r\n"), std::string::npos) << plain;
}

// ---- "Set timer"

TEST(SetTimer, TakesSecondsBelowOneHundredAndMillisecondsAbove)
{
    struct Case {
        const char* typed;
        int intervalMs;
        const char* box;
        bool saved;
        const char* message;
    };
    for (const Case& c : {Case{"30", 30000, "30", true, ""}, Case{"75", 60000, "60", true, ""},
                          Case{"500", 500, "500", true, ""}, Case{"90000", 60000, "90000", true, ""},
                          Case{"0", 1000, "0", false, "Valore non ammesso"}, Case{"-5", 1000, "-5", false, ""}}) {
        SCOPED_TRACE(c.typed);
        const TimerSetting s = computeTimerSetting(c.typed);
        EXPECT_EQ(s.intervalMs, c.intervalMs);
        EXPECT_EQ(s.boxText, c.box);
        EXPECT_EQ(s.save, c.saved);
        EXPECT_EQ(s.message, c.message);
    }
}

} // namespace
} // namespace tavor1

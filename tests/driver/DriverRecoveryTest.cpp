// The headless driver against the register simulator, with a data directory
// that refuses a delete or a write for a while: the channel never wedges, no
// document is printed twice, and the host is answered once the directory
// accepts the answer.

#include "driver/Driver.h"
#include "exchange/ExchangeFiles.h"
#include "exchange/JobJournal.h"
#include "platform/ByteFiles.h"
#include "platform/Clock.h"
#include "platform/Sinks.h"
#include "simulators/register/RegisterSimulator.h"
#include "support/EventLoop.h"
#include "support/FaultyFileOps.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace tavor1 {
namespace {

using test::waitUntil;
using F = ExchangeFile;

const std::string kReceipt = "PLUD,N1,P250,Q2,:PANE COMUNE\r\nCASH,V500\r\n";

class DriverRecovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.listen(0)) << sim.errorString().toStdString();
        writeFileBytes(joinPath(config.path(), "TVCHKCOM.TXT"), "1000\r\n");
        // No trace, the simulator's address, "20 sec.", and a poll every 100 ms.
        writeFileBytes(joinPath(config.path(), "TVCHKSCO.TXT"), "0\r\n0\r\n0\r\n127.0.0.1\r\n 1 \r\n");
        writeFileBytes(joinPath(config.path(), "TVTIMER1.TXT"), "100\r\n");
        startDriver(&ops);
        ASSERT_TRUE(waitUntil([&] { return has(F::SR_MATR); }, 10000)) << "no identification";
    }

    void startDriver(const FileOps* fileOps)
    {
        DriverConfig c;
        c.programDir = config.path();
        c.dataDir = data.path();
        c.registerPort = sim.port();
        c.closingPauseMs = 0;
        c.fileOps = fileOps;
        driver = std::make_unique<Driver>(c, sink, SystemClock::instance());
        driver->load();
    }

    std::string path(F f) const { return joinPath(data.path(), exchangeFileName(f, 1)); }
    bool has(F f) const { return fileExists(path(f)); }
    std::string read(F f) const { return readFileBytes(path(f)).value_or("<missing>"); }
    int documents() const { return sim.roll().documentCount(); }
    std::string log() const { return data.read("LOGFILE.TXT"); }

    void submit()
    {
        writeFileBytes(path(F::SR_DATI), kReceipt);
        writeFileBytes(path(F::SR_START), "00000000\r\n");
    }
    // Polls go on: the refused operation is tried this many more times.
    bool morePolls(int n, const std::function<int()>& attempts)
    {
        const int target = attempts() + n;
        return waitUntil([&] { return attempts() >= target; }, 10000);
    }

    regsim::RegisterSimulator sim;
    test::TempDir config;
    test::TempDir data;
    test::FaultyFileOps ops;
    NullMessageSink sink;
    std::unique_ptr<Driver> driver;
};

TEST_F(DriverRecovery, AGoSignalWithoutItsRequestIsAnsweredE506AndSendsNothing)
{
    writeFileBytes(path(F::SR_START), "00000000\r\n");
    ASSERT_TRUE(waitUntil([&] { return has(F::SR_ERR) && !has(F::SR_START); }, 10000));
    EXPECT_EQ(read(F::SR_ERR).rfind(kMissingRequestText, 0), 0u) << read(F::SR_ERR);
    EXPECT_FALSE(has(F::FINESCO));
    EXPECT_EQ(documents(), 0);
}

TEST_F(DriverRecovery, AnUndeletableGoSignalRunsItsJobOnceAndIsDeletedWhenTheDirectoryAllows)
{
    ops.failRemove("SR_START.001");
    submit();
    ASSERT_TRUE(waitUntil([&] { return has(F::FINESCO); }, 15000)) << read(F::SR_ERR);
    ASSERT_TRUE(morePolls(3, [&] { return ops.removeAttempts("SR_START.001"); })) << "the delete is not retried";
    EXPECT_EQ(documents(), 1) << sim.roll().text();
    EXPECT_TRUE(has(F::SR_START));

    ops.allowAll();
    ASSERT_TRUE(waitUntil([&] { return !has(F::SR_START); }, 5000));
    EXPECT_NE(log().find("SR_START 1 cancellato al nuovo tentativo"), std::string::npos) << log();
}

// The driver dies after the answer's first files and before the journal
// records the answer.
struct UnrecordedAnswerRow {
    const char* name;
    bool hostTookIt; // FINESCO and SR_OUT read and removed by the host
    int startsBeforeSettling; // starts cut short before they could answer
};

class UnrecordedAnswer : public DriverRecovery, public ::testing::WithParamInterface<UnrecordedAnswerRow> { };

TEST_P(UnrecordedAnswer, IsGivenOnceWhateverTheHostDidMeanwhile)
{
    const UnrecordedAnswerRow& row = GetParam();
    submit();
    ASSERT_TRUE(waitUntil([&] { return has(F::FINESCO); }, 15000)) << read(F::SR_ERR);
    removeFile(path(F::FINESCO));
    if (row.hostTookIt)
        removeFile(path(F::SR_OUT));
    driver.reset();
    const std::string journalPath = joinPath(data.path(), "tavor1.journal");
    std::istringstream journal(readFileBytes(journalPath).value_or(""));
    std::string kept;
    for (std::string line; std::getline(journal, line);)
        if (line.find("answered\t") == std::string::npos)
            kept += line + '\n';
    ASSERT_TRUE(writeFileBytes(journalPath, kept));
    ASSERT_TRUE(JobJournal::read(data.path()).jobs.back().unanswered());

    for (int i = 0; i <= row.startsBeforeSettling; ++i) {
        driver.reset();
        startDriver(nullptr);
    }
    ASSERT_TRUE(
        waitUntil([&] { return has(F::SR_MATR) && JobJournal::read(data.path()).jobs.back().answered; }, 10000));
    if (row.hostTookIt) {
        ASSERT_TRUE(waitUntil([&] { return log().find("risposta gia' ritirata") != std::string::npos; }, 5000))
            << log();
        EXPECT_FALSE(has(F::FINESCO)) << "the go signal is answered twice";
        EXPECT_FALSE(has(F::SR_OUT));
    } else {
        ASSERT_TRUE(waitUntil([&] { return has(F::FINESCO); }, 5000)) << "the answer is lost";
        EXPECT_NE(read(F::SR_OUT).find("SCONTR. N."), std::string::npos) << read(F::SR_OUT);
    }
    EXPECT_EQ(documents(), 1);
}

INSTANTIATE_TEST_SUITE_P(Recovery, UnrecordedAnswer,
                         ::testing::Values(UnrecordedAnswerRow{"TakenByTheHost", true, 0},
                                           UnrecordedAnswerRow{"HalfWrittenAndAStartCutShort", false, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverRecovery, ARefusedAnswerIsWrittenAsSoonAsTheDirectoryTakesIt)
{
    ops.failReplace("FINESCO.001");
    submit();
    ASSERT_TRUE(morePolls(4, [&] { return ops.replaceAttempts("FINESCO.001"); })) << "the answer is not retried";
    EXPECT_FALSE(has(F::FINESCO));
    EXPECT_NE(log().find("Risposta canale 1 non scritta (FINESCO.001: Permission denied)"), std::string::npos) << log();

    ops.allowAll();
    ASSERT_TRUE(waitUntil([&] { return has(F::FINESCO); }, 5000));
    EXPECT_FALSE(has(F::SR_START)) << "the go signal goes once the answer is there";
    EXPECT_EQ(documents(), 1) << "a pending answer must not make the job run again\n" << sim.roll().text();
    // Recorded as answered: a restart must not answer the job a second time.
    EXPECT_TRUE(JobJournal::read(data.path()).unansweredJobs().empty());
}

} // namespace
} // namespace tavor1

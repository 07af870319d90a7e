#include "exchange/ChannelScan.h"
#include "support/FaultyFileOps.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <vector>

namespace tavor1 {
namespace {

using test::TempDir;

class ChannelScanTest : public ::testing::Test {
public:
    ChannelScanTest()
        : clock(LocalDateTime{2024, 1, 5, 14, 30, 12})
        , files(dir.path(), clock, ops)
    {
    }

    void put(ExchangeFile f, int channel, std::string_view bytes = "x") { dir.write(exchangeFileName(f, channel), bytes); }
    bool has(ExchangeFile f, int channel) { return files.exists(f, channel); }

    int scan()
    {
        return scanForGoSignal(files, options, channels, currentChannel,
                               [this](int channel) { identified.push_back(channel); });
    }

    TempDir dir;
    FixedClock clock;
    test::FaultyFileOps ops;
    ExchangeFiles files;
    Options options;
    ChannelStates channels;
    int currentChannel = 0;
    std::vector<int> identified;
};

TEST_F(ChannelScanTest, ServesChannelsInOrderOneJobPerScan)
{
    for (int n = 1; n <= 4; ++n)
        put(ExchangeFile::SR_MATR, n);
    put(ExchangeFile::SR_START, 3);
    put(ExchangeFile::SR_START, 2);

    EXPECT_EQ(scan(), 2);
    EXPECT_EQ(currentChannel, 2);
    // The job's end consumes the go signal; the next poll finds channel 3.
    files.deleteStartFile(2);
    EXPECT_EQ(scan(), 3);
    EXPECT_EQ(currentChannel, 3);
    files.deleteStartFile(3);
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(currentChannel, 4) << "the scan leaves the last ready channel current";
}

TEST_F(ChannelScanTest, AChannelWithoutSrMatrIsIdentifiedNotServed)
{
    put(ExchangeFile::SR_START, 1);
    put(ExchangeFile::SR_DATI, 1);
    put(ExchangeFile::SR_MATR, 4);

    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(identified, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(has(ExchangeFile::SR_START, 1)) << "the go signal waits for the identification";
    EXPECT_EQ(currentChannel, 4);
}

TEST_F(ChannelScanTest, DisabledChannelsAreNeitherServedNorIdentified)
{
    options.channelEnabled = {false, true, false, false};
    put(ExchangeFile::SR_MATR, 1);
    put(ExchangeFile::SR_START, 1);
    put(ExchangeFile::SR_START, 3);

    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(identified, (std::vector<int>{2}));
    EXPECT_EQ(currentChannel, 0);
}

TEST_F(ChannelScanTest, PickingUpAJobClearsOnlyThatChannelsFlags)
{
    put(ExchangeFile::SR_MATR, 2);
    put(ExchangeFile::SR_START, 2);
    channels[1].testReceiptPending = true;
    channels[2].testReceiptPending = true;
    EXPECT_EQ(scan(), 2);
    EXPECT_FALSE(channels[1].testReceiptPending);
    EXPECT_FALSE(channels[1].dumpPending);
    EXPECT_TRUE(channels[2].testReceiptPending);
    EXPECT_TRUE(channels[2].dumpPending);
}

// A go signal whose job has run but which could not be deleted, at the
// following polls.
struct ServedGoSignalRow {
    const char* name;
    // What happens between the job's end and the poll.
    std::function<void(ChannelScanTest&)> meanwhile;
    int served; // the channel the poll serves
    bool stillServed; // the channel still remembers its served go signal
    bool goSignalThere; // SR_START.001 exists after the poll
};

class ServedGoSignal : public ChannelScanTest, public ::testing::WithParamInterface<ServedGoSignalRow> { };

TEST_P(ServedGoSignal, RunsItsJobOnceAndServesTheNextOne)
{
    const ServedGoSignalRow& row = GetParam();
    put(ExchangeFile::SR_MATR, 1);
    put(ExchangeFile::SR_START, 1, "00000000\r\n");
    ASSERT_EQ(scan(), 1);
    ops.failRemove("SR_START.001");
    ASSERT_FALSE(files.killStartFile(1));
    channels[0].servedGoSignal = fileIdentity(files.path(ExchangeFile::SR_START, 1));
    const int removesBefore = ops.removeAttempts("SR_START.001");

    row.meanwhile(*this);
    EXPECT_EQ(scan(), row.served);
    EXPECT_EQ(channels[0].servedGoSignal.has_value(), row.stillServed);
    EXPECT_EQ(has(ExchangeFile::SR_START, 1), row.goSignalThere);
    if (row.stillServed) {
        EXPECT_EQ(ops.removeAttempts("SR_START.001"), removesBefore + 1) << "the delete is tried at every poll";
        EXPECT_EQ(scan(), 0) << "and never served later";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Polls, ServedGoSignal,
    ::testing::Values(ServedGoSignalRow{"StillUndeletable", [](ChannelScanTest&) {}, 0, true, true},
                      ServedGoSignalRow{"DeletedAtLast", [](ChannelScanTest& t) { t.ops.allowAll(); }, 0, false, false},
                      // The host writes the same bytes after the answer; only the time differs.
                      ServedGoSignalRow{"WrittenAgainByTheHost",
                                        [](ChannelScanTest& t) {
                                            const std::string p = t.files.path(ExchangeFile::SR_START, 1);
                                            t.put(ExchangeFile::SR_START, 1, "00000000\r\n");
                                            std::filesystem::last_write_time(p, std::filesystem::last_write_time(p) +
                                                                                    std::chrono::seconds(2));
                                        },
                                        1, false, true},
                      ServedGoSignalRow{"ChannelSwitchedOff",
                                        [](ChannelScanTest& t) {
                                            t.options.channelEnabled[0] = false;
                                            t.ops.allowAll();
                                        },
                                        0, false, false}),
    [](const ::testing::TestParamInfo<ServedGoSignalRow>& info) { return std::string(info.param.name); });

TEST_F(ChannelScanTest, AChannelWithAPendingAnswerIsNotServed)
{
    for (int n : {1, 2}) {
        put(ExchangeFile::SR_MATR, n);
        put(ExchangeFile::SR_START, n);
    }
    channels[0].pendingAnswer = JobAnswer{};
    EXPECT_EQ(scan(), 2);
    channels[0].pendingAnswer.reset();
    EXPECT_EQ(scan(), 1);
}

TEST_F(ChannelScanTest, AVanishedDataDirectoryYieldsNoJobAndIsNotMadeAgain)
{
    std::filesystem::remove_all(dir.path());
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(identified, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_FALSE(files.writeErrFile("E506", 1, ""));
}

} // namespace
} // namespace tavor1

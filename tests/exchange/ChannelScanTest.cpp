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
    void put(ExchangeFile f, int channel, std::string_view bytes = "x") { dir.write(exchangeFileName(f, channel), bytes); }
    bool has(ExchangeFile f, int channel) { return files.exists(f, channel); }

    int scan()
    {
        return scanForGoSignal(files, options, channels, currentChannel,
                               [this](int channel) { identified.push_back(channel); });
    }

    TempDir dir;
    FixedClock clock{LocalDateTime{2024, 1, 5, 14, 30, 12}};
    test::FaultyFileOps ops;
    ExchangeFiles files{dir.path(), clock, ops};
    Options options;
    ChannelStates channels;
    int currentChannel = 0;
    std::vector<int> identified;
};

TEST_F(ChannelScanTest, ServesChannelsInOrderOneJobPerScanClearingOnlyThatChannelsFlags)
{
    for (int n = 1; n <= 4; ++n)
        put(ExchangeFile::SR_MATR, n);
    put(ExchangeFile::SR_START, 3);
    put(ExchangeFile::SR_START, 2);
    channels[1].testReceiptPending = true;
    channels[2].testReceiptPending = true;

    EXPECT_EQ(scan(), 2);
    EXPECT_EQ(currentChannel, 2);
    EXPECT_FALSE(channels[1].testReceiptPending);
    EXPECT_FALSE(channels[1].dumpPending);
    EXPECT_TRUE(channels[2].testReceiptPending);
    EXPECT_TRUE(channels[2].dumpPending);
    // The job's end consumes the go signal; the next poll finds channel 3.
    files.deleteStartFile(2);
    EXPECT_EQ(scan(), 3);
    EXPECT_EQ(currentChannel, 3);
    files.deleteStartFile(3);
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(currentChannel, 4) << "the scan leaves the last ready channel current";
}

TEST_F(ChannelScanTest, ServesNoChannelThatIsOffUnidentifiedOrStillAnswering)
{
    options.channelEnabled = {false, true, true, true};
    for (int n : {1, 2, 3})
        put(ExchangeFile::SR_MATR, n);
    for (int n : {1, 2, 4})
        put(ExchangeFile::SR_START, n);
    channels[1].pendingAnswer = JobAnswer{};

    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(identified, (std::vector<int>{4}));
    EXPECT_TRUE(has(ExchangeFile::SR_START, 4)) << "the go signal waits for the identification";
    EXPECT_EQ(currentChannel, 3);
    channels[1].pendingAnswer.reset();
    EXPECT_EQ(scan(), 2);
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

using Meanwhile = std::function<void(ChannelScanTest&)>;
const Meanwhile nothing = [](ChannelScanTest&) {};
const Meanwhile deleteAllowed = [](ChannelScanTest& t) { t.ops.allowAll(); };
// The host writes the same bytes after the answer; only the time differs.
const Meanwhile writtenAgain = [](ChannelScanTest& t) {
    const std::string p = t.files.path(ExchangeFile::SR_START, 1);
    t.put(ExchangeFile::SR_START, 1, "00000000\r\n");
    std::filesystem::last_write_time(p, std::filesystem::last_write_time(p) + std::chrono::seconds(2));
};
const Meanwhile switchedOff = [](ChannelScanTest& t) {
    t.options.channelEnabled[0] = false;
    t.ops.allowAll();
};

INSTANTIATE_TEST_SUITE_P(Polls, ServedGoSignal,
                         ::testing::Values(ServedGoSignalRow{"StillUndeletable", nothing, 0, true, true},
                                           ServedGoSignalRow{"DeletedAtLast", deleteAllowed, 0, false, false},
                                           ServedGoSignalRow{"WrittenAgainByTheHost", writtenAgain, 1, false, true},
                                           ServedGoSignalRow{"ChannelSwitchedOff", switchedOff, 0, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChannelScanTest, AVanishedDataDirectoryYieldsNoJobAndIsNotMadeAgain)
{
    std::filesystem::remove_all(dir.path());
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(identified, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_FALSE(files.writeErrFile("E506", 1, ""));
}

} // namespace
} // namespace tavor1

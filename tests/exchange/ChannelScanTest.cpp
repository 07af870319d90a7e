#include "exchange/ChannelScan.h"
#include "platform/NativePath.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace tavor1 {
namespace {

using test::TempDir;

class ChannelScanTest : public ::testing::Test {
protected:
    ChannelScanTest()
        : clock(LocalDateTime{2024, 1, 5, 14, 30, 12})
        , files(dir.path(), clock)
    {
    }

    void put(ExchangeFile f, int channel, std::string_view bytes = "x") { dir.write(exchangeFileName(f, channel), bytes); }
    bool has(ExchangeFile f, int channel) { return files.exists(f, channel); }

    int scan()
    {
        return iVerifyStartTavor1(files, options, channels, currentChannel,
                                  [this](int channel) { identified.push_back(channel); });
    }

    TempDir dir;
    FixedClock clock;
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
    files.SubKillStartFile(2);
    EXPECT_EQ(scan(), 3);
    EXPECT_EQ(currentChannel, 3);
    files.SubKillStartFile(3);
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(currentChannel, 4) << "the scan leaves the last ready channel current";
    EXPECT_TRUE(identified.empty());
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

    put(ExchangeFile::SR_MATR, 1);
    identified.clear();
    EXPECT_EQ(scan(), 1);
    EXPECT_TRUE(identified.empty());
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
    channels[1].TestReceiptPending = true;
    channels[2].TestReceiptPending = true;
    EXPECT_EQ(scan(), 2);
    EXPECT_FALSE(channels[1].TestReceiptPending);
    EXPECT_FALSE(channels[1].DumpPending);
    EXPECT_TRUE(channels[2].TestReceiptPending);
    EXPECT_TRUE(channels[2].DumpPending);
}

TEST_F(ChannelScanTest, AGoSignalThatCouldNotBeDeletedIsNotServedTwice)
{
    put(ExchangeFile::SR_MATR, 1);
    put(ExchangeFile::SR_START, 1);
    put(ExchangeFile::SR_MATR, 2);
    put(ExchangeFile::SR_START, 2);
    ASSERT_EQ(scan(), 1);
    channels[0].goSignalStuck = true; // the job's SubKillStartFile returned false

    EXPECT_EQ(scan(), 2) << "the stuck signal is skipped, later channels still run";
    files.SubKillStartFile(2);
    EXPECT_EQ(scan(), 0);

    ASSERT_TRUE(std::filesystem::remove(nativePath(files.path(ExchangeFile::SR_START, 1))));
    EXPECT_EQ(scan(), 0);
    EXPECT_FALSE(channels[0].goSignalStuck) << "once the file is gone the channel is free again";
    put(ExchangeFile::SR_START, 1);
    EXPECT_EQ(scan(), 1);
}

TEST_F(ChannelScanTest, AVanishedDataDirectoryYieldsNoJobAndNoCrash)
{
    std::filesystem::remove_all(nativePath(dir.path()));
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(identified, (std::vector<int>{1, 2, 3, 4}));
    files.SubKillErrFile(1);
    files.SubKillStartFile(1);
    files.deleteAllAtStartup();
    EXPECT_FALSE(files.WriteErrFile("E506", 1, ""));
}

} // namespace
} // namespace tavor1

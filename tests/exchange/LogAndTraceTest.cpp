#include "exchange/LogFile.h"
#include "exchange/TraceFile.h"
#include "platform/NativePath.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tavor1 {
namespace {

using test::TempDir;

TEST(LogFile, LinesCarryTheItalianDateAndTimeAndAccumulate)
{
    TempDir dir;
    FixedClock clock(LocalDateTime{2024, 3, 7, 9, 5, 2});
    LogFile log(dir.path(), clock);
    log.append("Errore nella Kill di SR_ERR 2");
    clock.set(LocalDateTime{2024, 12, 31, 23, 59, 59});
    log.append("Errore nella Kill di SR_OUT 4");
    EXPECT_EQ(dir.read("LOGFILE.TXT"), "07/03/2024 09:05:02 Errore nella Kill di SR_ERR 2\r\n"
                                       "31/12/2024 23:59:59 Errore nella Kill di SR_OUT 4\r\n");
}

std::string vanishedDirectory()
{
    TempDir gone;
    return gone.path() + "/dati";
}

class TraceFileTest : public ::testing::Test {
protected:
    TempDir dir{"tavor1 traccia è "};
    FixedClock clock{LocalDateTime{2024, 1, 5, 14, 30, 12}};
    Options options;
    TraceFile trace{dir.path(), clock, options};
};

TEST_F(TraceFileTest, OpensInTheMonthsFolderAndWritesCrLfLines)
{
    options.chbTrace = true;
    ASSERT_TRUE(trace.open());
    EXPECT_EQ(trace.path(), dir.file("TRACE_202401/TRACE_20240105_143012.TXT"));
    EXPECT_TRUE(trace.isTracing());
    trace.writeLine(traceTimestamp(clock) + "TX: 1011");
    trace.writeLine("RX");
    EXPECT_EQ(dir.read("TRACE_202401/TRACE_20240105_143012.TXT"), "20240105_143012: TX: 1011\r\nRX\r\n")
        << "lines must reach the file before close";
    trace.close();
    trace.writeLine("after close");
    EXPECT_EQ(dir.read("TRACE_202401/TRACE_20240105_143012.TXT"), "20240105_143012: TX: 1011\r\nRX\r\n");
}

TEST_F(TraceFileTest, TraceOffCreatesNothingAndWritesNothing)
{
    EXPECT_FALSE(trace.open());
    EXPECT_FALSE(trace.isTracing());
    trace.writeLine("dropped");
    EXPECT_TRUE(std::filesystem::is_empty(nativePath(dir.path())));

    // Switched off in the middle of a job: the open file receives nothing more.
    options.chbTrace = true;
    ASSERT_TRUE(trace.open());
    options.chbTrace = false;
    trace.writeLine("dropped");
    EXPECT_EQ(dir.read("TRACE_202401/TRACE_20240105_143012.TXT"), "");
}

TEST_F(TraceFileTest, ASecondJobInTheSameSecondTruncatesTheFirst)
{
    options.chbTrace = true;
    ASSERT_TRUE(trace.open());
    trace.writeLine("first");
    ASSERT_TRUE(trace.open());
    trace.writeLine("second");
    trace.close();
    EXPECT_EQ(dir.read("TRACE_202401/TRACE_20240105_143012.TXT"), "second\r\n");
}

TEST_F(TraceFileTest, FallsBackToTheDataDirectoryWhenTheFolderCannotBeMade)
{
    options.chbTrace = true;
    dir.write("TRACE_202401", "a file in the folder's way");
    ASSERT_TRUE(trace.open());
    EXPECT_EQ(trace.path(), dir.file("TRACE_20240105_143012.TXT"));
}

TEST_F(TraceFileTest, AVanishedDataDirectoryOpensNothing)
{
    options.chbTrace = true;
    const std::string gone = vanishedDirectory();
    TraceFile lost(gone, clock, options);
    EXPECT_FALSE(lost.open());
    lost.writeLine("dropped");
    LogFile(gone, clock).append("Errore nella Kill di SR_DATI 1");
    EXPECT_FALSE(std::filesystem::exists(nativePath(gone))) << "the data directory must not be made again";
}

} // namespace
} // namespace tavor1

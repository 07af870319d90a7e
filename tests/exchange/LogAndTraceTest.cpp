#include "exchange/LogFile.h"
#include "exchange/TraceFile.h"
#include "platform/ByteFiles.h"
#include "platform/NativePath.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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

class TraceFileTest : public ::testing::Test {
protected:
    TempDir dir{"tavor1 traccia è "};
    FixedClock clock{LocalDateTime{2024, 1, 5, 14, 30, 12}};
    void SetUp() override { options.chbTrace = true; }

    Options options;
    TraceFile trace{dir.path(), clock, options};
};

constexpr const char* kTracePath = "TRACE_202401/TRACE_20240105_143012.TXT";

TEST_F(TraceFileTest, OpensInTheMonthsFolderAndWritesCrLfLines)
{
    ASSERT_TRUE(trace.open());
    EXPECT_EQ(trace.path(), dir.file(kTracePath));
    EXPECT_TRUE(trace.isTracing());
    trace.writeLine(traceTimestamp(clock) + "TX: 1011");
    trace.writeLine("RX");
    EXPECT_EQ(dir.read(kTracePath), "20240105_143012: TX: 1011\r\nRX\r\n") << "lines must reach the file before close";
    trace.close();
    trace.writeLine("after close");
    EXPECT_EQ(dir.read(kTracePath), "20240105_143012: TX: 1011\r\nRX\r\n");
}

TEST_F(TraceFileTest, TraceOffCreatesNothingAndWritesNothing)
{
    options.chbTrace = false;
    EXPECT_FALSE(trace.open());
    EXPECT_FALSE(trace.isTracing());
    trace.writeLine("dropped");
    EXPECT_TRUE(std::filesystem::is_empty(nativePath(dir.path())));

    // Switched off in the middle of a job: the open file receives nothing more.
    options.chbTrace = true;
    ASSERT_TRUE(trace.open());
    options.chbTrace = false;
    trace.writeLine("dropped");
    EXPECT_EQ(dir.read(kTracePath), "");
}

TEST_F(TraceFileTest, ASecondJobInTheSameSecondTruncatesTheFirst)
{
    ASSERT_TRUE(trace.open());
    trace.writeLine("first");
    ASSERT_TRUE(trace.open());
    trace.writeLine("second");
    trace.close();
    EXPECT_EQ(dir.read(kTracePath), "second\r\n");
}

TEST_F(TraceFileTest, FallsBackToTheDataDirectoryWhenTheFolderCannotBeMade)
{
    dir.write("TRACE_202401", "a file in the folder's way");
    ASSERT_TRUE(trace.open());
    EXPECT_EQ(trace.path(), dir.file("TRACE_20240105_143012.TXT"));
}

TEST_F(TraceFileTest, AVanishedDataDirectoryOpensNothing)
{
    const std::string gone = TempDir().path() + "/dati";
    TraceFile lost(gone, clock, options);
    EXPECT_FALSE(lost.open());
    lost.writeLine("dropped");
    LogFile(gone, clock).append("Errore nella Kill di SR_DATI 1");
    EXPECT_FALSE(std::filesystem::exists(nativePath(gone))) << "the data directory must not be made again";
}

// A driver that is never restarted must not fill the disk: LOGFILE.TXT and
// the traces stay within their limits, and the newest lines are never the
// ones that go.

TEST(LogFile, AFullLogMovesAsideAndOnlyTheKeptOnesStay)
{
    TempDir dir;
    FixedClock clock(LocalDateTime{2024, 3, 7, 9, 5, 2});
    LogFile log(dir.path(), clock, LogRotation{200, 2});
    for (int i = 0; i < 40; ++i)
        log.append("Errore nella Kill di SR_ERR " + std::to_string(i));

    EXPECT_LE(std::filesystem::file_size(nativePath(dir.file("LOGFILE.TXT"))), 200u + 60u);
    EXPECT_TRUE(dir.exists("LOGFILE.1.TXT"));
    EXPECT_TRUE(dir.exists("LOGFILE.2.TXT"));
    EXPECT_FALSE(dir.exists("LOGFILE.3.TXT"));
    // The last line written is in the current file, the ones before the
    // rotation in the first old one.
    const std::string older = dir.read("LOGFILE.1.TXT");
    const std::string current = dir.read("LOGFILE.TXT");
    EXPECT_NE(current.find("SR_ERR 39\r\n"), std::string::npos);
    EXPECT_LT(std::stoi(older.substr(older.rfind("SR_ERR ") + 7)),
              std::stoi(current.substr(current.find("SR_ERR ") + 7)));
}

TEST_F(TraceFileTest, ATraceStopsAtItsLimitWithANote)
{
    TraceFile limited(dir.path(), clock, options, TraceLimits{300, 1 << 20});
    ASSERT_TRUE(limited.open());
    for (int i = 0; i < 100; ++i)
        limited.writeLine("20240105_143012: --> 1009 riga " + std::to_string(i));
    limited.close();
    const std::string text = dir.read(kTracePath);
    EXPECT_LE(text.size(), 300u + 80u);
    EXPECT_NE(text.find("TRACE INTERROTTA"), std::string::npos) << text;
}

TEST_F(TraceFileTest, OpeningANewTraceRemovesTheOldestUntilAllFit)
{
    TraceFile limited(dir.path(), clock, options, TraceLimits{1 << 20, 1000});
    // A month ago and today: 4 traces of 400 bytes each.
    const LocalDateTime times[] = {
        {2023, 12, 30, 8, 0, 0}, {2023, 12, 31, 8, 0, 0}, {2024, 1, 4, 8, 0, 0}, {2024, 1, 5, 8, 0, 0}};
    std::vector<std::string> paths;
    for (const LocalDateTime& t : times) {
        clock.set(t);
        ASSERT_TRUE(limited.open());
        limited.writeLine(std::string(398, 'x'));
        limited.close();
        paths.push_back(limited.path());
    }
    clock.set(LocalDateTime{2024, 1, 5, 14, 30, 12});
    ASSERT_TRUE(limited.open());
    limited.close();

    // 1600 bytes were there: the two December traces go, and their folder.
    EXPECT_FALSE(fileExists(paths[0]));
    EXPECT_FALSE(fileExists(paths[1]));
    EXPECT_FALSE(isDirectory(dir.file("TRACE_202312")));
    EXPECT_TRUE(fileExists(paths[2]));
    EXPECT_TRUE(fileExists(paths[3]));
    EXPECT_TRUE(fileExists(limited.path()));
}

} // namespace
} // namespace tavor1

// A driver that is never restarted must not fill the disk: LOGFILE.TXT and
// the traces stay within their limits, and the newest lines are never the
// ones that go.

#include "exchange/CancelRequest.h"
#include "exchange/LogFile.h"
#include "exchange/TraceFile.h"
#include "platform/ByteFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tavor1 {
namespace {

using test::TempDir;

std::uintmax_t sizeOf(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

TEST(LogRotation, AFullLogMovesAsideAndOnlyTheKeptOnesStay)
{
    TempDir dir;
    FixedClock clock(LocalDateTime{2024, 3, 7, 9, 5, 2});
    LogFile log(dir.path(), clock, LogRotation{200, 2});
    for (int i = 0; i < 40; ++i)
        log.append("Errore nella Kill di SR_ERR " + std::to_string(i));

    EXPECT_LE(sizeOf(dir.file("LOGFILE.TXT")), 200u + 60u);
    EXPECT_TRUE(dir.exists("LOGFILE.1.TXT"));
    EXPECT_TRUE(dir.exists("LOGFILE.2.TXT"));
    EXPECT_FALSE(dir.exists("LOGFILE.3.TXT"));
    // The last line written is in the current file, the one before the
    // rotation in the first old one.
    EXPECT_NE(dir.read("LOGFILE.TXT").find("SR_ERR 39\r\n"), std::string::npos);
    const std::string older = dir.read("LOGFILE.1.TXT");
    const std::string current = dir.read("LOGFILE.TXT");
    EXPECT_EQ(older.find("SR_ERR 39"), std::string::npos);
    EXPECT_LT(std::stoi(older.substr(older.rfind("SR_ERR ") + 7)),
              std::stoi(current.substr(current.find("SR_ERR ") + 7)));
}

class TraceLimitsTest : public ::testing::Test {
protected:
    TempDir dir;
    FixedClock clock{LocalDateTime{2024, 1, 5, 14, 30, 12}};
    Options options = [] {
        Options o;
        o.chbTrace = true;
        return o;
    }();
};

TEST_F(TraceLimitsTest, ATraceStopsAtItsLimitWithANote)
{
    TraceFile trace(dir.path(), clock, options, TraceLimits{300, 1 << 20});
    ASSERT_TRUE(trace.open());
    for (int i = 0; i < 100; ++i)
        trace.writeLine("20240105_143012: --> 1009 riga " + std::to_string(i));
    trace.close();
    const auto text = readFileBytes(trace.path());
    ASSERT_TRUE(text);
    EXPECT_LE(text->size(), 300u + 80u);
    EXPECT_NE(text->find("TRACE INTERROTTA"), std::string::npos) << *text;
}

TEST_F(TraceLimitsTest, OpeningANewTraceRemovesTheOldestUntilAllFit)
{
    TraceFile trace(dir.path(), clock, options, TraceLimits{1 << 20, 1000});
    // A month ago and today: 4 traces of 400 bytes each.
    const LocalDateTime times[] = {
        {2023, 12, 30, 8, 0, 0}, {2023, 12, 31, 8, 0, 0}, {2024, 1, 4, 8, 0, 0}, {2024, 1, 5, 8, 0, 0}};
    std::vector<std::string> paths;
    for (const LocalDateTime& t : times) {
        clock.set(t);
        ASSERT_TRUE(trace.open());
        trace.writeLine(std::string(398, 'x'));
        trace.close();
        paths.push_back(trace.path());
    }
    clock.set(LocalDateTime{2024, 1, 5, 14, 30, 12});
    ASSERT_TRUE(trace.open());
    trace.close();

    // 1600 bytes were there: the two December traces go, and their folder.
    EXPECT_FALSE(fileExists(paths[0]));
    EXPECT_FALSE(fileExists(paths[1]));
    EXPECT_FALSE(isDirectory(dir.file("TRACE_202312")));
    EXPECT_TRUE(fileExists(paths[2]));
    EXPECT_TRUE(fileExists(paths[3]));
    EXPECT_TRUE(fileExists(trace.path()));
}

TEST(CancelRequestFiles, OnlyTheAnswerToTheAskersTokenIsTaken)
{
    TempDir dir;
    ASSERT_TRUE(writeCancelRequest(dir.path(), "101-1"));
    const auto token = takeCancelRequest(dir.path());
    ASSERT_TRUE(token);
    EXPECT_EQ(*token, "101-1");
    EXPECT_FALSE(takeCancelRequest(dir.path())) << "a request is carried out once";

    ASSERT_TRUE(writeCancelReply(dir.path(), "999-9", CancelReply{true, "3011: accettato\r\n"}));
    EXPECT_FALSE(takeCancelReply(dir.path(), "101-1")) << "an answer to someone else";
    ASSERT_TRUE(writeCancelReply(dir.path(), "101-1", CancelReply{true, "3011: accettato\r\n"}));
    const auto reply = takeCancelReply(dir.path(), "101-1");
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->sent);
    EXPECT_EQ(reply->report, "3011: accettato\r\n");
}

} // namespace
} // namespace tavor1

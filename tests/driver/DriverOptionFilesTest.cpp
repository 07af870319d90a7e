// The option files from start-up to exit: what the driver could not read it
// must not write over when it closes.

#include "driver/Driver.h"
#include "platform/ByteFiles.h"
#include "platform/Clock.h"
#include "platform/Sinks.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <QHostAddress>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

namespace tavor1 {
namespace {

// A file of `size` bytes (zeros after `head`): far larger than any option file.
void writeHuge(const std::string& path, const std::string& head, std::uintmax_t size)
{
    ASSERT_TRUE(writeFileBytes(path, head));
    std::filesystem::resize_file(path, size);
}

std::size_t countOf(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

struct ExitCase {
    const char* name;
    // Writes the option files of the case into the program folder.
    std::function<void(const std::string& programDir)> write;
    // Checks the program folder after the exit.
    std::function<void(const std::string& programDir)> check;
    // The one LOGFILE.TXT line the start-up leaves, or nullptr for none.
    const char* logged;
};

void PrintTo(const ExitCase& c, std::ostream* os)
{
    *os << c.name;
}

class DriverExit : public ::testing::TestWithParam<ExitCase> { };

TEST_P(DriverExit, SavesOnlyWhatItCouldRead)
{
    test::TempDir program;
    test::TempDir data;
    // No channel is served; the register's address is a listening loopback
    // port that never answers, so nothing but the start-up and the exit runs.
    QTcpServer register_;
    ASSERT_TRUE(register_.listen(QHostAddress::LocalHost, 0));
    writeFileBytes(joinPath(program.path(), "TVCHKCOM.TXT"), "0000\r\n");
    GetParam().write(program.path());

    DriverConfig config;
    config.programDir = program.path();
    config.dataDir = data.path();
    config.registerPort = register_.serverPort();
    config.closingPauseMs = 0;
    NullMessageSink sink;
    Driver driver(config, sink, SystemClock::instance());
    bool finished = false;
    QObject::connect(&driver, &Driver::finished, [&] { finished = true; });
    driver.load();
    driver.close();
    ASSERT_TRUE(test::waitUntil([&] { return finished; }));

    GetParam().check(program.path());
    const std::string log = readFileBytes(joinPath(data.path(), "LOGFILE.TXT")).value_or("");
    if (GetParam().logged == nullptr)
        EXPECT_EQ(log, "");
    else
        EXPECT_EQ(countOf(log, GetParam().logged), 1u) << log;
}

const std::string kGoodLines = "0\r\n1\r\n0\r\n127.0.0.1\r\n 3 \r\n";
constexpr std::uintmax_t kTwoMegabytes = 2u * 1024u * 1024u;

INSTANTIATE_TEST_SUITE_P(
    OptionFiles, DriverExit,
    ::testing::Values(
        ExitCase{"AnUnreadableOptionsFileIsLeftAsItWas",
                 [](const std::string& dir) { writeHuge(joinPath(dir, "TVCHKSCO.TXT"), kGoodLines, kTwoMegabytes); },
                 [](const std::string& dir) {
                     const std::string path = joinPath(dir, "TVCHKSCO.TXT");
                     EXPECT_EQ(std::filesystem::file_size(path), kTwoMegabytes);
                     EXPECT_EQ(readFileBytes(path).value_or("").substr(0, kGoodLines.size()), kGoodLines);
                     EXPECT_EQ(readFileBytes(joinPath(dir, "TVCHKCOM.TXT")).value_or(""), "0000\r\n");
                 },
                 "TVCHKSCO.TXT: file non leggibile"},
        // The timer file is rewritten at start-up as well as at "Set timer".
        ExitCase{"AnUnreadableTimerFileIsNotRewrittenAtStartUp",
                 [](const std::string& dir) { writeHuge(joinPath(dir, "TVTIMER1.TXT"), "5\r\n", kTwoMegabytes); },
                 [](const std::string& dir) {
                     EXPECT_EQ(std::filesystem::file_size(joinPath(dir, "TVTIMER1.TXT")), kTwoMegabytes);
                 },
                 "TVTIMER1.TXT: file non leggibile"},
        ExitCase{
            "AnUnreadableVatFileIsLeftAsItWas",
            [](const std::string& dir) { writeHuge(joinPath(dir, "TVVALIVA.txt"), "500\r\n", kDefaultReadLimit + 1); },
            [](const std::string& dir) {
                EXPECT_EQ(std::filesystem::file_size(joinPath(dir, "TVVALIVA.txt")), kDefaultReadLimit + 1);
            },
            "TVVALIVA.txt: file non leggibile"},
        ExitCase{"ReadableFilesAreSavedWithoutALogLine",
                 [](const std::string& dir) { writeFileBytes(joinPath(dir, "TVCHKSCO.TXT"), kGoodLines); },
                 [](const std::string& dir) {
                     const std::string saved = readFileBytes(joinPath(dir, "TVCHKSCO.TXT")).value_or("");
                     EXPECT_EQ(countOf(saved, "\r\n"), 18u) << saved;
                     EXPECT_EQ(readFileBytes(joinPath(dir, "TVVALIVA.txt")).value_or(""),
                               "400\r\n1000\r\n2200\r\n3600\r\n");
                 },
                 nullptr}),
    [](const ::testing::TestParamInfo<ExitCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1

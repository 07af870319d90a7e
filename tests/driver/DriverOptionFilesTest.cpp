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

const std::string kGoodLines = "0\r\n1\r\n0\r\n127.0.0.1\r\n 3 \r\n";
constexpr std::uintmax_t kTwoMegabytes = 2u * 1024u * 1024u;

class DriverExit : public ::testing::Test {
protected:
    // Starts the driver on the program folder as the test left it and closes
    // it; returns LOGFILE.TXT.
    std::string startAndClose()
    {
        // No channel is served; the register's address is a listening
        // loopback port that never answers, so nothing but the start-up and
        // the exit runs.
        QTcpServer register_;
        EXPECT_TRUE(register_.listen(QHostAddress::LocalHost, 0));
        writeFileBytes(path("TVCHKCOM.TXT"), "0000\r\n");
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
        EXPECT_TRUE(test::waitUntil([&] { return finished; }));
        return readFileBytes(joinPath(data.path(), "LOGFILE.TXT")).value_or("");
    }
    std::string path(const char* name) const { return joinPath(program.path(), name); }

    test::TempDir program;
    test::TempDir data;
};

TEST_F(DriverExit, UnreadableFilesAreLeftAsTheyWereAndReportedOnce)
{
    writeHuge(path("TVCHKSCO.TXT"), kGoodLines, kTwoMegabytes);
    // The timer file is rewritten at start-up as well as at "Set timer".
    writeHuge(path("TVTIMER1.TXT"), "5\r\n", kTwoMegabytes);
    writeHuge(path("TVVALIVA.txt"), "500\r\n", kDefaultReadLimit + 1);

    const std::string log = startAndClose();
    EXPECT_EQ(std::filesystem::file_size(path("TVCHKSCO.TXT")), kTwoMegabytes);
    EXPECT_EQ(readFileBytes(path("TVCHKSCO.TXT")).value_or("").substr(0, kGoodLines.size()), kGoodLines);
    EXPECT_EQ(readFileBytes(path("TVCHKCOM.TXT")).value_or(""), "0000\r\n");
    EXPECT_EQ(std::filesystem::file_size(path("TVTIMER1.TXT")), kTwoMegabytes);
    EXPECT_EQ(std::filesystem::file_size(path("TVVALIVA.txt")), kDefaultReadLimit + 1);
    for (const char* line :
         {"TVCHKSCO.TXT: file non leggibile", "TVTIMER1.TXT: file non leggibile", "TVVALIVA.txt: file non leggibile"})
        EXPECT_EQ(countOf(log, line), 1u) << log;
}

TEST_F(DriverExit, ReadableFilesAreSavedWithoutALogLine)
{
    writeFileBytes(path("TVCHKSCO.TXT"), kGoodLines);
    EXPECT_EQ(startAndClose(), "");
    const std::string saved = readFileBytes(path("TVCHKSCO.TXT")).value_or("");
    EXPECT_EQ(countOf(saved, "\r\n"), 18u) << saved;
    EXPECT_EQ(readFileBytes(path("TVVALIVA.txt")).value_or(""), "400\r\n1000\r\n2200\r\n3600\r\n");
}

} // namespace
} // namespace tavor1

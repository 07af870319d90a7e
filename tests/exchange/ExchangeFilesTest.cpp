#include "exchange/ExchangeFiles.h"
#include "exchange/CancelRequest.h"
#include "exchange/ChannelScan.h"
#include "platform/ByteFiles.h"
#include "platform/NativePath.h"
#include "support/HeldFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <set>

namespace tavor1 {

// Printed as the file names, so that a failing row reads like a directory listing.
void PrintTo(ExchangeFile f, std::ostream* os)
{
    *os << exchangeFileName(f, 1).substr(0, exchangeFileName(f, 1).size() - 4);
}

namespace {

using test::TempDir;
using F = ExchangeFile;
using FileSet = std::set<F>;

constexpr F kAll[] = {F::SR_START, F::SR_DATI, F::SR_MATR, F::SR_OUT, F::SR_ERR, F::FINESCO};
constexpr int kChannel = 2;
constexpr int kNeighbour = 3;

// One row of the lifecycle of a channel's exchange files: the files before,
// what the driver does, the files after.
struct LifecycleRow {
    const char* name;
    FileSet before;
    std::function<void(const ExchangeFiles&, int channel)> action;
    FileSet after;
    bool touchesAllChannels = false;
};

class ExchangeFileLifecycle : public ::testing::TestWithParam<LifecycleRow> {};

TEST_P(ExchangeFileLifecycle, LeavesTheFilesTheHostExpects)
{
    const LifecycleRow& row = GetParam();
    TempDir dir;
    FixedClock clock(LocalDateTime{2024, 1, 5, 14, 30, 12});
    ExchangeFiles files(dir.path(), clock);
    for (F f : row.before) {
        dir.write(exchangeFileName(f, kChannel), "x");
        dir.write(exchangeFileName(f, kNeighbour), "x");
    }

    row.action(files, kChannel);

    FileSet now, neighbour;
    for (F f : kAll) {
        if (files.exists(f, kChannel))
            now.insert(f);
        if (files.exists(f, kNeighbour))
            neighbour.insert(f);
    }
    EXPECT_EQ(now, row.after);
    EXPECT_EQ(neighbour, row.touchesAllChannels ? row.after : row.before) << "channel " << kNeighbour;
    if (row.after.count(F::FINESCO)) {
        EXPECT_EQ(dir.read(exchangeFileName(F::FINESCO, kChannel)), kFinescoContent);
    }
    EXPECT_FALSE(dir.exists("LOGFILE.TXT")) << "no delete may fail here";
}

const FileSet kEverything(std::begin(kAll), std::end(kAll));

INSTANTIATE_TEST_SUITE_P(
    Moments, ExchangeFileLifecycle,
    ::testing::Values(
        LifecycleRow{"StartUp", kEverything, [](const ExchangeFiles& f, int) { f.deleteAllAtStartup(); }, {}, true},
        LifecycleRow{"ScanFindsGoSignal",
                     {F::SR_MATR, F::SR_START, F::SR_DATI, F::SR_OUT, F::FINESCO, F::SR_ERR},
                     [](const ExchangeFiles& f, int channel) {
                         Options options;
                         options.channelEnabled = {false, true, false, false};
                         ChannelStates states;
                         int current = 0;
                         ASSERT_EQ(scanForGoSignal(f, options, states, current, nullptr), channel);
                     },
                     {F::SR_MATR, F::SR_START, F::SR_DATI, F::SR_ERR}},
        LifecycleRow{"GoSignalConsumedWritesFinesco",
                     {F::SR_MATR, F::SR_START},
                     [](const ExchangeFiles& f, int channel) { f.deleteStartFile(channel); },
                     {F::SR_MATR, F::FINESCO}},
        LifecycleRow{"ErrorLineThenGoSignalWritesNoFinesco",
                     {F::SR_MATR, F::SR_START, F::SR_DATI},
                     [](const ExchangeFiles& f, int channel) {
                         f.writeErrFile("E096: Fine carta scontrino, sostituire rotolo", channel, "");
                         f.deleteStartFile(channel);
                     },
                     {F::SR_MATR, F::SR_DATI, F::SR_ERR}},
        LifecycleRow{"EndWithoutGoSignalWritesNoFinesco",
                     {F::SR_MATR},
                     [](const ExchangeFiles& f, int channel) { f.deleteStartFile(channel); },
                     {F::SR_MATR}},
        LifecycleRow{"ProgramExit",
                     kEverything,
                     [](const ExchangeFiles& f, int channel) { f.deleteChannelAtExit(channel); },
                     {F::SR_DATI}}),
    [](const ::testing::TestParamInfo<LifecycleRow>& info) { return std::string(info.param.name); });

TEST(WriteErrFile, WritesOneLineWithTheRegistersErrorWhenThereIsOne)
{
    TempDir dir;
    ExchangeFiles files(dir.path(), SystemClock::instance());
    ASSERT_TRUE(files.writeErrFile("E506: Trasmissione non avvenuta: file di input non presente", 1, ""));
    EXPECT_EQ(dir.read("SR_ERR.001"), "E506: Trasmissione non avvenuta: file di input non presente\r\n");
    ASSERT_TRUE(files.writeErrFile("Errore generico sull'Ecr", 1, "12"));
    EXPECT_EQ(dir.read("SR_ERR.001"), "Errore generico sull'Ecr : ERRORE 12\r\n") << "truncated, not appended";
    ASSERT_TRUE(files.writeErrFile("Qualit\xE0", 4, ""));
    EXPECT_EQ(dir.read("SR_ERR.004"), "Qualit\xE0\r\n") << "bytes pass through unchanged";

    EXPECT_FALSE(files.writeErrFile("x", 0, ""));
    EXPECT_FALSE(files.writeErrFile("x", 5, ""));
    EXPECT_FALSE(dir.exists("SR_ERR.000"));
    EXPECT_FALSE(dir.exists("SR_ERR.005"));
}

TEST(WriteErrFile, UsesTheFullPathOfALongDataDirectory)
{
    TempDir dir("tavor1 cartella con un nome lungo è ");
    std::string deep = dir.path();
    while (deep.size() < 200)
        deep += "/sottocartella dati";
    ASSERT_TRUE(std::filesystem::create_directories(nativePath(deep)));
    ExchangeFiles files(deep, SystemClock::instance());
    ASSERT_GT(files.path(F::SR_ERR, 3).size(), 128u);

    ASSERT_TRUE(files.writeErrFile("E501: Dump non eseguito", 3, ""));
    EXPECT_TRUE(files.exists(F::SR_ERR, 3));
    // Nothing may land in a file named after the path cut short.
    std::size_t entries = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(nativePath(dir.path())))
        entries += e.is_regular_file();
    EXPECT_EQ(entries, 1u);
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

#ifdef _WIN32

// A host on Windows names the files DataDir & "\SR_START.001"; a scanner
// that holds the go signal open after the job makes its delete fail. The
// failure is logged and the job is not served a second time.
TEST(WindowsDataDirectory, AGoSignalHeldOpenIsLoggedAndNotServedTwice)
{
    TempDir dir("tavor1 dati cassa è ");
    FixedClock clock(LocalDateTime{2024, 1, 5, 14, 30, 12});
    ExchangeFiles files(dir.path(), clock);
    const std::string dataDir = dir.path();
    ASSERT_EQ(dataDir.find('/'), std::string::npos) << dataDir;
    for (const char* name : {"\\SR_MATR.002", "\\SR_DATI.002", "\\SR_START.002"})
        ASSERT_TRUE(writeFileBytes(dataDir + name, "x")) << name;

    Options options;
    ChannelStates channels;
    int current = 0;
    ASSERT_EQ(scanForGoSignal(files, options, channels, current, nullptr), kChannel);

    test::HeldFile scanner(dataDir + "\\SR_START.002");
    ASSERT_TRUE(scanner.isHeld());
    files.deleteDatiFile(kChannel);
    EXPECT_FALSE(files.deleteStartFile(kChannel));
    channels[kChannel - 1].servedGoSignal = fileIdentity(dataDir + "\\SR_START.002");
    ASSERT_TRUE(channels[kChannel - 1].servedGoSignal.has_value());
    EXPECT_EQ(dir.read("FINESCO.002"), "finesco") << "the job is done, and the host is told so";
    const std::string log = dir.read("LOGFILE.TXT");
    EXPECT_NE(log.find("Errore : 70 nella Funzione_Kill SR_START 2Line : 0"), std::string::npos) << log;
    EXPECT_EQ(scanForGoSignal(files, options, channels, current, nullptr), 0);

    EXPECT_TRUE(files.exists(ExchangeFile::SR_START, kChannel)) << "held: the retry fails too";

    scanner.release();
    EXPECT_EQ(scanForGoSignal(files, options, channels, current, nullptr), 0) << "the retry deletes it";
    EXPECT_FALSE(files.exists(ExchangeFile::SR_START, kChannel));
    EXPECT_FALSE(channels[kChannel - 1].servedGoSignal.has_value());
}

#endif

} // namespace
} // namespace tavor1

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
#include <vector>

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

using Action = std::function<void(const ExchangeFiles&, int channel)>;

// One row of the lifecycle of a channel's exchange files: the files before,
// what the driver does, the files after.
struct LifecycleRow {
    const char* name;
    FileSet before;
    Action action;
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

const Action startUp = [](const ExchangeFiles& f, int) { f.deleteAllAtStartup(); };
const Action scan = [](const ExchangeFiles& f, int n) {
    Options options;
    options.channelEnabled = {false, true, false, false};
    ChannelStates states;
    int current = 0;
    ASSERT_EQ(scanForGoSignal(f, options, states, current, nullptr), n);
};
const Action consumeGoSignal = [](const ExchangeFiles& f, int n) { f.deleteStartFile(n); };
const Action failThenConsumeGoSignal = [](const ExchangeFiles& f, int n) {
    f.writeErrFile("E096: Fine carta scontrino, sostituire rotolo", n, "");
    f.deleteStartFile(n);
};
const Action exitProgram = [](const ExchangeFiles& f, int n) { f.deleteChannelAtExit(n); };

INSTANTIATE_TEST_SUITE_P(
    Moments, ExchangeFileLifecycle,
    // clang-format off
    ::testing::ValuesIn(std::vector<LifecycleRow>{
        {"StartUp", kEverything, startUp, {}, true},
        {"ScanFindsGoSignal", kEverything, scan, {F::SR_MATR, F::SR_START, F::SR_DATI, F::SR_ERR}},
        {"GoSignalConsumedWritesFinesco", {F::SR_MATR, F::SR_START}, consumeGoSignal, {F::SR_MATR, F::FINESCO}},
        {"ErrorLineThenGoSignalWritesNoFinesco", {F::SR_MATR, F::SR_START, F::SR_DATI}, failThenConsumeGoSignal,
         {F::SR_MATR, F::SR_DATI, F::SR_ERR}},
        {"EndWithoutGoSignalWritesNoFinesco", {F::SR_MATR}, consumeGoSignal, {F::SR_MATR}},
        {"ProgramExit", kEverything, exitProgram, {F::SR_DATI}}}),
    // clang-format on
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
}

#endif

} // namespace
} // namespace tavor1

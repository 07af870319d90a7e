#include "app/DataDirectory.h"
#include "app/DirWatcher.h"
#include "app/DriverArgs.h"
#include "app/Pause.h"
#include "platform/ByteFiles.h"
#include "support/TempDir.h"

#include <QDeadlineTimer>

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

TEST(DriverArgs, TheHeadlessCommandLine)
{
    const auto p = parseDriverArgs({"--headless", "--data-dir", "/d", "--config-dir", "/c", "--register-port",
                                    "9200", "--payment-url", "http://127.0.0.1:81", "--closing-pause", "10"});
    ASSERT_EQ(p.error, "");
    EXPECT_TRUE(p.args.headless);
    EXPECT_EQ(*p.args.dataDir, "/d");
    EXPECT_EQ(*p.args.configDir, "/c");
    EXPECT_EQ(*p.args.registerPort, 9200);
    EXPECT_EQ(*p.args.paymentUrl, "http://127.0.0.1:81");
    EXPECT_EQ(p.args.closingPauseMs, 10);
    EXPECT_FALSE(p.args.simulate);
}

TEST(DriverArgs, MistakesAreNamed)
{
    EXPECT_NE(parseDriverArgs({"--register-port", "70000"}).error.find("--register-port"), std::string::npos);
    EXPECT_NE(parseDriverArgs({"--data-dir"}).error.find("needs a value"), std::string::npos);
    EXPECT_NE(parseDriverArgs({"--frobnicate"}).error.find("--frobnicate"), std::string::npos);
    EXPECT_NE(parseDriverArgs({"--closing-pause", "x"}).error, "");
}

TEST(DataDirectory, CommandLineWinsOverTheRegistryWhichWinsOverTheProgramFolder)
{
    EXPECT_EQ(settleDataDir("/prog", "/reg/", std::string("/cli/")), "/cli");
    EXPECT_EQ(settleDataDir("/prog", "/reg\\", std::nullopt), "/reg");
    EXPECT_EQ(settleDataDir("/prog", "", std::nullopt), "/prog");
    EXPECT_EQ(missingDataDirText("/x"), "/x : DIR NON ESISTENTE");
}

int changesWithin(DirWatcher& w, int ms)
{
    int n = 0;
    auto c = QObject::connect(&w, &DirWatcher::changeDetected, [&](int) { ++n; });
    pauseMs(ms);
    QObject::disconnect(c);
    return n;
}

TEST(DirWatcher, ReportsACreatedFileAndWhatChangedWhileSuspendedOnceAfterwards)
{
    test::TempDir dir;
    DirWatcher w;
    ASSERT_TRUE(w.StartWatch(dir.path(), 5, false));
    int bits = 0;
    QObject::connect(&w, &DirWatcher::changeDetected, [&](int b) { bits = b; });
    writeFileBytes(joinPath(dir.path(), "SR_START.001"), "x");
    QDeadlineTimer deadline(3000);
    while (bits == 0 && !deadline.hasExpired())
        pauseMs(5);
    EXPECT_EQ(bits & DirWatcher::kFileNameChange, DirWatcher::kFileNameChange);

    w.setSuspendWatch(true);
    for (int i = 0; i < 5; ++i)
        writeFileBytes(joinPath(dir.path(), "f" + std::to_string(i)), "x");
    EXPECT_EQ(changesWithin(w, 150), 0);
    w.setSuspendWatch(false);
    EXPECT_EQ(changesWithin(w, 150), 1);
}

TEST(DirWatcher, AMissingDirectoryIsNotWatched)
{
    DirWatcher w;
    EXPECT_FALSE(w.StartWatch("/nonexistent/tavor1/dir", 5, false));
    EXPECT_FALSE(w.isWatching());
    w.StopWatch();
}

} // namespace
} // namespace tavor1

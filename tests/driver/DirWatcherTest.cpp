#include "driver/DirWatcher.h"
#include "platform/ByteFiles.h"
#include "platform/qt/Wait.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

int changesWithin(DirWatcher& w, int ms)
{
    int n = 0;
    auto c = QObject::connect(&w, &DirWatcher::changeDetected, [&](int) { ++n; });
    pauseFor(ms);
    QObject::disconnect(c);
    return n;
}

TEST(DirWatcher, ReportsACreatedFileAndWhatChangedWhileSuspendedOnceAfterwards)
{
    test::TempDir dir;
    DirWatcher w;
    ASSERT_TRUE(w.startWatch(dir.path(), 5, false));
    int bits = 0;
    QObject::connect(&w, &DirWatcher::changeDetected, [&](int b) { bits = b; });
    writeFileBytes(joinPath(dir.path(), "SR_START.001"), "x");
    waitUntil([&] { return bits != 0; }, 3000);
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
    EXPECT_FALSE(w.startWatch("/nonexistent/tavor1/dir", 5, false));
    EXPECT_FALSE(w.isWatching());
    w.stopWatch();
}

} // namespace
} // namespace tavor1

#include "platform/qt/WaitMs.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace tavor1 {
namespace {

TEST(WaitMs, LetsEventsRunWhileItWaitsAndHoldsItsTotal)
{
    int argc = 1;
    char name[] = "platform_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    bool fired = false;
    QTimer::singleShot(10, [&] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    WaitMs(220);
    EXPECT_TRUE(fired) << "a timer due during the wait must have run";
    // The wait counts whole 50 ms steps: 220 waits 200. Generous upper bound.
    EXPECT_GE(clock.elapsed(), 195);
    EXPECT_LT(clock.elapsed(), 5000);

    // A wait started from inside a wait (a handler that pauses) ends too.
    bool nestedDone = false;
    QTimer::singleShot(0, [&] {
        WaitMs(100);
        nestedDone = true;
    });
    WaitMs(300);
    EXPECT_TRUE(nestedDone);

    clock.restart();
    WaitMs(49);
    WaitMs(0);
    WaitMs(-100);
    EXPECT_LT(clock.elapsed(), 40) << "below one step there is no wait";
}

} // namespace
} // namespace tavor1

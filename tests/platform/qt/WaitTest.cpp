#include "platform/qt/Wait.h"

#include "support/EventLoop.h"

#include <QElapsedTimer>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

namespace tavor1 {
namespace {

// Generous: the machine is shared, and a wait that ends early is what counts.
constexpr int kLongLimitMs = 5000;

TEST(Wait, EndsWhenTheConditionHoldsWithoutAnyoneWakingItEvenDuringANestedWait)
{
    bool ready = false;
    bool otherTimerRan = false;
    // The condition comes true while a handler waits on its own.
    QTimer::singleShot(5, [&] {
        otherTimerRan = true;
        QTimer::singleShot(25, [&] { ready = true; });
        pauseFor(100);
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(waitUntil([&] { return ready; }, kLongLimitMs), WaitEnd::Done);
    EXPECT_TRUE(otherTimerRan) << "timers due during the wait must run";
    EXPECT_LT(clock.elapsed(), kLongLimitMs / 2) << "the condition was seen only at the limit";
}

TEST(Wait, EndsAtItsLimitAndRunsEventsMeanwhile)
{
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(waitUntil([] { return false; }, 150), WaitEnd::TimedOut);
    EXPECT_GE(clock.elapsed(), 145);
    EXPECT_LT(clock.elapsed(), kLongLimitMs);
    EXPECT_GE(ticks, 2);

    clock.restart();
    EXPECT_EQ(pauseFor(120), WaitEnd::TimedOut);
    EXPECT_GE(clock.elapsed(), 115);
}

TEST(Wait, ReturnsAtOnceWhenThereIsNothingToWaitFor)
{
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    EXPECT_EQ(waitUntil([] { return true; }, kLongLimitMs), WaitEnd::Done);
    EXPECT_EQ(pauseFor(0), WaitEnd::TimedOut);
    EXPECT_EQ(pauseFor(-5), WaitEnd::TimedOut);
    EXPECT_FALSE(ran) << "no event may run when no wait happened";
}

TEST(Wait, CancelEndsTheWaitAndIsForgottenAfterIt)
{
    WaitHandle handle;
    QTimer::singleShot(20, [&] { handle.cancel(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(pauseFor(kLongLimitMs, &handle), WaitEnd::Cancelled);
    EXPECT_LT(clock.elapsed(), kLongLimitMs / 2);
    EXPECT_FALSE(handle.isWaiting());

    // A cancel with no wait running does not end the next one.
    handle.cancel();
    EXPECT_EQ(pauseFor(30, &handle), WaitEnd::TimedOut);
}

TEST(Wait, CancelOfAnOuterWaitTakesEffectWhenTheNestedOneIsOver)
{
    WaitHandle pause;
    std::vector<std::string> order;
    // A button pressed during the pause waits on its own (an exchange), and
    // the cancel comes while that nested wait runs.
    QTimer::singleShot(10, [&] {
        QTimer::singleShot(20, [&] { pause.cancel(); });
        const WaitEnd nested = pauseFor(150);
        order.push_back(nested == WaitEnd::TimedOut ? "nested ran out" : "nested cut short");
    });
    const WaitEnd outer = pauseFor(kLongLimitMs, &pause);
    order.push_back(outer == WaitEnd::Cancelled ? "outer cancelled" : "outer not cancelled");
    EXPECT_EQ(order, (std::vector<std::string>{"nested ran out", "outer cancelled"}));
}

TEST(Wait, NestedWaitsOnOneHandleAreAllCancelled)
{
    WaitHandle handle;
    WaitEnd inner = WaitEnd::Done;
    QTimer::singleShot(10, [&] {
        QTimer::singleShot(10, [&] { handle.cancel(); });
        inner = pauseFor(kLongLimitMs, &handle);
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(pauseFor(kLongLimitMs, &handle), WaitEnd::Cancelled);
    EXPECT_EQ(inner, WaitEnd::Cancelled);
    EXPECT_LT(clock.elapsed(), kLongLimitMs / 2);
}

TEST(Wait, AHandleDestroyedDuringItsWaitEndsItCancelled)
{
    auto handle = std::make_unique<WaitHandle>();
    QTimer::singleShot(10, [&] { handle.reset(); });
    EXPECT_EQ(pauseFor(kLongLimitMs, handle.get()), WaitEnd::Cancelled);
}

} // namespace
} // namespace tavor1

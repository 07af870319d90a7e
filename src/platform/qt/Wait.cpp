#include "platform/qt/Wait.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <optional>
#include <thread>

namespace tavor1 {

namespace detail {

// One running wait, linked to the waits of the same handle below it.
struct ActiveWait {
    ActiveWait(const std::function<bool()>& condition, WaitHandle* owner)
        : done(condition)
        , handle(owner)
    {
        if (handle) {
            outer = handle->m_innermost;
            handle->m_innermost = this;
        }
    }

    ~ActiveWait()
    {
        if (handle)
            handle->m_innermost = outer;
    }

    ActiveWait(const ActiveWait&) = delete;
    ActiveWait& operator=(const ActiveWait&) = delete;

    // Ends the wait for the first reason found; later reasons change nothing.
    void end(WaitEnd why)
    {
        if (reason)
            return;
        reason = why;
        loop.quit();
    }

    void check()
    {
        if (!reason && done && done())
            end(WaitEnd::Done);
    }

    const std::function<bool()>& done;
    WaitHandle* handle;
    ActiveWait* outer = nullptr;
    QEventLoop loop;
    std::optional<WaitEnd> reason;
};

} // namespace detail

WaitHandle::~WaitHandle()
{
    // The waits outlive the handle on the stack: unlink them first.
    for (detail::ActiveWait* wait = m_innermost; wait; wait = wait->outer) {
        wait->handle = nullptr;
        wait->end(WaitEnd::Cancelled);
    }
}

void WaitHandle::cancel()
{
    for (detail::ActiveWait* wait = m_innermost; wait; wait = wait->outer)
        wait->end(WaitEnd::Cancelled);
}

void WaitHandle::wake()
{
    for (detail::ActiveWait* wait = m_innermost; wait; wait = wait->outer)
        wait->check();
}

WaitEnd waitUntil(const std::function<bool()>& done, int timeoutMs, WaitHandle* handle)
{
    if (done && done())
        return WaitEnd::Done;
    if (!QCoreApplication::instance()) {
        // No event loop to run (a command-line step before the application
        // object exists): a plain sleep is all there is.
        if (timeoutMs < 0)
            return WaitEnd::TimedOut;
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return done && done() ? WaitEnd::Done : WaitEnd::TimedOut;
    }

    detail::ActiveWait wait(done, handle);
    // Every pass of the event loop ends by going to sleep; testing the
    // condition there sees the effect of every event without polling.
    if (done) {
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
            QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &wait.loop,
                             [&wait] { wait.check(); });
    }
    QTimer limit;
    if (timeoutMs >= 0) {
        limit.setSingleShot(true);
        limit.setTimerType(Qt::PreciseTimer);
        QObject::connect(&limit, &QTimer::timeout, &wait.loop, [&wait] {
            wait.check();
            wait.end(WaitEnd::TimedOut);
        });
        limit.start(timeoutMs);
    }
    // Run once, never in a loop: when the application ends all its event
    // loops, exec() returns at once and the wait ends cancelled instead of
    // spinning.
    wait.loop.exec();
    return wait.reason.value_or(WaitEnd::Cancelled);
}

WaitEnd pauseFor(int ms, WaitHandle* handle)
{
    if (ms <= 0)
        return WaitEnd::TimedOut;
    return waitUntil({}, ms, handle);
}

} // namespace tavor1

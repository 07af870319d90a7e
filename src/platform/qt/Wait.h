#pragma once

// The one way the program waits: a local event loop that runs until a
// condition holds, a time limit passes, or someone cancels the wait. Every
// pause, connection wait, reply wait and payment wait goes through it.
//
// What runs during a wait. Everything the thread's event loop delivers: timers
// (the poll timer, the reply limit, the watcher), socket and network-reply
// events, the window's events and buttons, signals from other processes. The
// wait itself never spins: between events it sleeps in the event dispatcher.
//
// What must not start during a wait. A handler that runs here runs in the
// middle of whatever the waiting code was doing, so the callers' flags keep
// the work that must not overlap from starting: no poll while a job runs
// (jobRunning, the poll timer stopped), no second register exchange while one
// waits for its reply (the link refuses it, or the cancel is deferred until
// the exchange is over), no new identification while one runs. The wait adds
// no such guard of its own.
//
// How a nested wait is ended. A handler may itself wait (a button pressed
// during a pause, the closing sequence during a reply wait): that wait runs on
// top of the first and the first cannot return before it. Ending the outer
// wait (its condition, its limit, or cancel()) marks it ended at once; it
// returns as soon as the waits above it have returned, which their own limits
// bound. So a cancel of the paper-end pause pressed while a nested exchange
// waits ends the pause when that exchange is over, not before.
//
// The condition is tested when the wait starts, each time the event loop is
// about to sleep, on wake(), and once more at the limit. It must be cheap and
// change nothing.

#include <functional>

namespace tavor1 {

enum class WaitEnd {
    Done, // the condition held
    TimedOut, // the limit passed first
    Cancelled // cancel(), the handle's end, or the application ending its loops
};

// A wait with no time limit (only the condition or cancel() ends it).
inline constexpr int kNoTimeLimit = -1;

namespace detail {
struct ActiveWait;
}

// Lets other code reach a wait that runs elsewhere on the stack: the cancel
// button ends the paper-end pause, arriving bytes have the reply wait test its
// condition at once. A handle with no wait running ignores both calls: a cancel
// that must outlive the wait is the caller's own flag, tested before waiting.
class WaitHandle {
public:
    WaitHandle() = default;
    // Ends any wait still running with this handle, as cancel() does.
    ~WaitHandle();
    WaitHandle(const WaitHandle&) = delete;
    WaitHandle& operator=(const WaitHandle&) = delete;

    // Ends every wait now running with this handle; each returns Cancelled
    // once the waits nested above it have returned.
    void cancel();
    // Has the waits running with this handle test their conditions now.
    void wake();
    bool isWaiting() const { return m_innermost != nullptr; }

private:
    friend struct detail::ActiveWait;
    detail::ActiveWait* m_innermost = nullptr;
};

// Runs events until done() holds or timeoutMs passes (kNoTimeLimit: no limit;
// 0: one pass of the pending events). done may be empty: only the limit or a
// cancel ends the wait then. Without an application object there are no
// events to run: the limit is slept through and done() tested after it.
WaitEnd waitUntil(const std::function<bool()>& done, int timeoutMs, WaitHandle* handle = nullptr);

// A pause of ms milliseconds with events running; 0 or less returns at once.
WaitEnd pauseFor(int ms, WaitHandle* handle = nullptr);

} // namespace tavor1

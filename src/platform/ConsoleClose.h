#pragma once

// The console's close and shutdown events on Windows (Ctrl+C, Ctrl+Break,
// the console window closed, logoff, shutdown) turned into one request to
// run the closing sequence on the driver's own thread. The POSIX
// counterpart is the signal bridge of the program's entry.
//
// Windows calls the handler on a thread of its own. The handler never touches
// the driver: it calls `notify`, which must be safe to call from any thread
// (posting an event to the main loop is), and, for the events after which
// Windows ends the process as soon as the handler returns (close, logoff,
// shutdown), waits until the main thread reports the closing sequence done
// or the grace period runs out. Ctrl+C and Ctrl+Break return at once: the
// process goes on, closes and leaves by itself.
//
// A program that links user32 (Qt does) gets no logoff or shutdown event
// through this handler: those come as window messages (WM_ENDSESSION) to
// the GUI side instead.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace tavor1 {

enum class ConsoleEvent : std::int16_t {
    Interrupt, // Ctrl+C
    Break, // Ctrl+Break
    Close, // the console window is closed
    Logoff, // the user logs off
    Shutdown, // the system shuts down
};

// The event of a Windows control code (CTRL_C_EVENT ...); none for codes
// this program does not know.
std::optional<ConsoleEvent> consoleEventOf(unsigned long controlType);
// True for the events after which Windows ends the process once the handler
// has returned: the handler must hold the process until the closing is done.
bool endsProcessOnReturn(ConsoleEvent event);

class ConsoleClose {
public:
    // Windows gives a closing console 5 s before it ends the process; the
    // default leaves a margin.
    static constexpr std::chrono::milliseconds kDefaultGrace{4500};

    // One instance at a time: the system's handler list holds a plain function.
    explicit ConsoleClose(std::function<void(ConsoleEvent)> notify, std::chrono::milliseconds grace = kDefaultGrace);
    ~ConsoleClose();
    ConsoleClose(const ConsoleClose&) = delete;
    ConsoleClose& operator=(const ConsoleClose&) = delete;

    // Registers the handler with the system; false when it cannot be (and
    // always on systems other than Windows).
    bool install();

    // Called on the main thread once the closing sequence has run: a handler
    // that waits returns, and Windows may end the process.
    void closingDone();

    // What the system calls, on its own thread: true when the event was
    // handled. Public so that the wait can be exercised without a console.
    bool handle(unsigned long controlType);

private:
    struct State;
    // Shared with a handler that may still be returning on the system's
    // thread while the main thread is already destroying this object.
    std::shared_ptr<State> m_state;
};

} // namespace tavor1

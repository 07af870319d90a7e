#include "platform/ConsoleClose.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tavor1 {

namespace {

// The control codes of wincon.h, here too so that the mapping is the same
// (and tested) on every platform.
constexpr unsigned long kCtrlC = 0;
constexpr unsigned long kCtrlBreak = 1;
constexpr unsigned long kCtrlClose = 2;
constexpr unsigned long kCtrlLogoff = 5;
constexpr unsigned long kCtrlShutdown = 6;

#ifdef _WIN32
static_assert(kCtrlC == CTRL_C_EVENT && kCtrlBreak == CTRL_BREAK_EVENT && kCtrlClose == CTRL_CLOSE_EVENT &&
              kCtrlLogoff == CTRL_LOGOFF_EVENT && kCtrlShutdown == CTRL_SHUTDOWN_EVENT);
// The one handler the console calls; only Windows has the console's events.
std::atomic<ConsoleClose*> g_installed{nullptr};
#endif

} // namespace

std::optional<ConsoleEvent> consoleEventOf(unsigned long controlType)
{
    switch (controlType) {
    case kCtrlC:
        return ConsoleEvent::Interrupt;
    case kCtrlBreak:
        return ConsoleEvent::Break;
    case kCtrlClose:
        return ConsoleEvent::Close;
    case kCtrlLogoff:
        return ConsoleEvent::Logoff;
    case kCtrlShutdown:
        return ConsoleEvent::Shutdown;
    default:
        return std::nullopt;
    }
}

bool endsProcessOnReturn(ConsoleEvent event)
{
    return event == ConsoleEvent::Close || event == ConsoleEvent::Logoff || event == ConsoleEvent::Shutdown;
}

struct ConsoleClose::State {
    std::function<void(ConsoleEvent)> notify;
    std::chrono::milliseconds grace{0};
    std::mutex mutex;
    std::condition_variable done;
    bool closed = false;
    // The closing is asked for once; a second event only waits for it.
    bool requested = false;
};

ConsoleClose::ConsoleClose(std::function<void(ConsoleEvent)> notify, std::chrono::milliseconds grace)
    : m_state(std::make_shared<State>())
{
    m_state->notify = std::move(notify);
    m_state->grace = grace;
}

#ifdef _WIN32

namespace {

BOOL WINAPI onConsoleControl(DWORD controlType)
{
    ConsoleClose* handler = g_installed.load();
    return handler && handler->handle(controlType) ? TRUE : FALSE;
}

} // namespace

bool ConsoleClose::install()
{
    ConsoleClose* expected = nullptr;
    if (!g_installed.compare_exchange_strong(expected, this))
        return expected == this;
    if (SetConsoleCtrlHandler(onConsoleControl, TRUE))
        return true;
    g_installed.store(nullptr);
    return false;
}

ConsoleClose::~ConsoleClose()
{
    ConsoleClose* self = this;
    if (g_installed.compare_exchange_strong(self, nullptr))
        SetConsoleCtrlHandler(onConsoleControl, FALSE);
}

#else

bool ConsoleClose::install()
{
    return false;
}

ConsoleClose::~ConsoleClose() = default;

#endif

void ConsoleClose::closingDone()
{
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->closed = true;
    }
    m_state->done.notify_all();
}

bool ConsoleClose::handle(unsigned long controlType)
{
    const std::optional<ConsoleEvent> event = consoleEventOf(controlType);
    if (!event)
        return false;
    const std::shared_ptr<State> state = m_state;
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        first = !state->requested;
        state->requested = true;
    }
    if (first && state->notify)
        state->notify(*event);
    if (!endsProcessOnReturn(*event))
        return true;
    // Returning lets Windows end the process: hold it until the options are
    // saved and the exchange files settled, within the grace Windows gives.
    std::unique_lock<std::mutex> lock(state->mutex);
    state->done.wait_for(lock, state->grace, [&state] { return state->closed; });
    return true;
}

} // namespace tavor1

#include "platform/ConsoleClose.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tavor1 {
namespace {

using namespace std::chrono_literals;

struct EventRow {
    const char* name;
    unsigned long controlType; // as wincon.h numbers it
    ConsoleEvent event;
    bool holdsTheProcess;
};

class ConsoleEvents : public testing::TestWithParam<EventRow> { };

TEST_P(ConsoleEvents, MapToTheirEventAndWaitOnlyWhenWindowsEndsTheProcess)
{
    ASSERT_EQ(consoleEventOf(GetParam().controlType), GetParam().event);
    EXPECT_EQ(endsProcessOnReturn(GetParam().event), GetParam().holdsTheProcess);
}

INSTANTIATE_TEST_SUITE_P(Codes, ConsoleEvents,
                         testing::Values(EventRow{"CtrlC", 0, ConsoleEvent::Interrupt, false},
                                         EventRow{"CtrlBreak", 1, ConsoleEvent::Break, false},
                                         EventRow{"Close", 2, ConsoleEvent::Close, true},
                                         EventRow{"Logoff", 5, ConsoleEvent::Logoff, true},
                                         EventRow{"Shutdown", 6, ConsoleEvent::Shutdown, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Runs the handler the way Windows does, on a thread of its own.
std::future<bool> raise(ConsoleClose& handler, unsigned long controlType)
{
    return std::async(std::launch::async, [&handler, controlType] { return handler.handle(controlType); });
}

TEST(ConsoleClose, CtrlCReturnsAtOnceAndAClosedConsoleWaitsForTheOneClosingSequence)
{
    std::vector<ConsoleEvent> seen;
    ConsoleClose handler([&](ConsoleEvent e) { seen.push_back(e); }, 60s);
    std::future<bool> interrupted = raise(handler, 0);
    ASSERT_EQ(interrupted.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(interrupted.get());

    std::future<bool> closed = raise(handler, 2);
    std::future<bool> again = raise(handler, 2);
    // Until the main thread says the closing is done the handler must not
    // return, or Windows would end the process half-way.
    EXPECT_EQ(closed.wait_for(200ms), std::future_status::timeout);
    handler.closingDone();
    ASSERT_EQ(closed.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(closed.get());
    EXPECT_TRUE(again.get());
    EXPECT_EQ(seen, std::vector<ConsoleEvent>{ConsoleEvent::Interrupt}) << "one closing sequence, however many events";
    EXPECT_FALSE(handler.handle(99)) << "an unknown code is left to the next handler";
}

TEST(ConsoleClose, AShutdownAsksForTheClosingAndWaitsNoLongerThanTheGrace)
{
    std::vector<ConsoleEvent> seen;
    ConsoleClose handler([&](ConsoleEvent e) { seen.push_back(e); }, 50ms);
    EXPECT_TRUE(handler.handle(6));
    EXPECT_EQ(seen, std::vector<ConsoleEvent>{ConsoleEvent::Shutdown});
}

#ifdef _WIN32
// Through the system: the handler is registered and a Ctrl+Break sent to
// this process's console group reaches it.
TEST(ConsoleClose, TheSystemDeliversCtrlBreak)
{
    std::atomic<bool> seen{false};
    ConsoleClose handler([&](ConsoleEvent e) { seen = e == ConsoleEvent::Break; });
    ASSERT_TRUE(handler.install());
    // A test run without a terminal has no console: make one.
    if (!GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0) &&
        !(AllocConsole() && GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0)))
        GTEST_SKIP() << "no console to send the event to (error " << GetLastError() << ")";
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!seen && std::chrono::steady_clock::now() < deadline)
        Sleep(10); // the event arrives on a thread of the system's
    EXPECT_TRUE(seen);
}
#endif

} // namespace
} // namespace tavor1

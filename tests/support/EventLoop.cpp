#include "support/EventLoop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

namespace tavor1::test {

namespace {

class ApplicationEnvironment final : public ::testing::Environment {
public:
    void SetUp() override { ensureCoreApplication(); }
};

} // namespace

void ensureCoreApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "tavor1_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

::testing::Environment* newApplicationEnvironment()
{
    return new ApplicationEnvironment;
}

bool waitUntil(const std::function<bool()>& done, int deadlineMs)
{
    QDeadlineTimer deadline(deadlineMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

} // namespace tavor1::test

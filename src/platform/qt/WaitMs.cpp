#include "platform/qt/WaitMs.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <thread>

namespace tavor1 {

void WaitMs(double ms)
{
    const long long steps = std::llround(ms) / 50;
    if (steps <= 0)
        return;
    const auto total = std::chrono::milliseconds(steps * 50);
    if (!QCoreApplication::instance()) {
        // No event loop to keep alive (a command-line tool before the
        // application object exists): a plain pause is all there is.
        std::this_thread::sleep_for(total);
        return;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(total);
    loop.exec();
}

} // namespace tavor1

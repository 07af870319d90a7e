#include "driver/Pause.h"

#include <QEventLoop>
#include <QTimer>

namespace tavor1 {

void pauseMs(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace tavor1

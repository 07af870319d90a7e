#pragma once

#include <QObject>

class QSocketNotifier;

namespace tavor1 {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event loop: the handler
// only writes one byte into a socket pair, and everything else runs as an
// ordinary event, also while a job waits in a nested loop.
class SignalBridge : public QObject {
    Q_OBJECT
public:
    explicit SignalBridge(QObject* parent = nullptr);
    ~SignalBridge() override;

signals:
    void terminationRequested();

private:
    void onReadable();
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace tavor1

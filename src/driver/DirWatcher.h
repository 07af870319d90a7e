#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <string>

namespace tavor1 {

// Watches the data directory and reports its changes (cWatchForChanges).
// The system's change notifications arrive as they happen; a burst of them
// within one turn of the event loop is reported once. While suspended nothing
// is reported, but a change seen meanwhile is reported as soon as the
// suspension ends, so that no go signal written during a job is missed.
class DirWatcher : public QObject {
    Q_OBJECT
public:
    // Change type bits of changeDetected.
    static constexpr int kFileNameChange = 1;
    static constexpr int kSizeChange = 2;
    static constexpr int kLastWriteChange = 4;

    explicit DirWatcher(QObject* parent = nullptr);
    ~DirWatcher() override;

    // Starts watching directory. maxDelayMs, the longest delay in ms between a
    // change and its report, is always met: a change is reported at the next
    // turn of the event loop, not on a check period. Sub-folders are not watched: the
    // exchange files all lie in the directory itself. False when the
    // directory cannot be watched; nothing is left running then.
    bool startWatch(const std::string& directory, int maxDelayMs, bool startSuspended, bool watchSubTree = false);
    // Safe when not watching.
    void stopWatch();

    bool suspendWatch() const { return m_suspended; }
    void setSuspendWatch(bool suspended);

    bool isWatching() const { return m_watcher != nullptr; }

signals:
    void changeDetected(int changeType);

private:
    void onDirectoryChanged();
    void check();

    QFileSystemWatcher* m_watcher = nullptr;
    QTimer m_check;
    bool m_suspended = false;
    // A change arrived that has not been reported yet.
    bool m_pending = false;
};

} // namespace tavor1

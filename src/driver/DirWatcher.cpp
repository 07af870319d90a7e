#include "driver/DirWatcher.h"

#include <QDir>
#include <QFileInfo>

namespace tavor1 {

DirWatcher::DirWatcher(QObject* parent) : QObject(parent)
{
    m_check.setSingleShot(true);
    connect(&m_check, &QTimer::timeout, this, &DirWatcher::check);
}

DirWatcher::~DirWatcher()
{
    stopWatch();
}

bool DirWatcher::startWatch(const std::string& directory, int, bool startSuspended, bool)
{
    stopWatch();
    m_suspended = startSuspended;
    const QString dir = QString::fromStdString(directory).trimmed();
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return false;
    m_watcher = new QFileSystemWatcher(this);
    if (!m_watcher->addPath(dir)) {
        stopWatch();
        return false;
    }
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &DirWatcher::onDirectoryChanged);
    return true;
}

void DirWatcher::stopWatch()
{
    m_check.stop();
    if (m_watcher) {
        m_watcher->disconnect(this);
        delete m_watcher;
        m_watcher = nullptr;
    }
    m_pending = false;
    m_suspended = false;
}

void DirWatcher::setSuspendWatch(bool suspended)
{
    m_suspended = suspended;
    // Changes made while suspended (the job's own files, or a go signal on
    // another channel) are reported by the first check after the suspension.
    if (!m_suspended && m_pending && !m_check.isActive())
        m_check.start(0);
}

void DirWatcher::onDirectoryChanged()
{
    m_pending = true;
    // The first change of a burst is reported at the next turn of the event
    // loop; later ones in the same burst merge into that report.
    if (!m_suspended && !m_check.isActive())
        m_check.start(0);
}

void DirWatcher::check()
{
    if (m_suspended || !m_pending || !m_watcher)
        return;
    m_pending = false;
    emit changeDetected(kFileNameChange);
}

} // namespace tavor1

// The instance lock on POSIX systems: flock(2) on a descriptor kept open for
// the whole run. The kernel drops the lock when the process ends, whatever
// the file holds.
#ifndef _WIN32

#include "platform/InstanceLock.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tavor1 {

namespace {

int fdOf(std::intptr_t handle)
{
    return static_cast<int>(handle);
}

std::string readHolderText(int fd)
{
    char buffer[64];
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

LockStatus cannotCreate(int error)
{
    LockStatus s;
    s.state = LockState::CannotCreate;
    s.error = std::strerror(error);
    return s;
}

LockStatus heldByOther(std::optional<long> pid)
{
    LockStatus s;
    s.state = LockState::HeldByOther;
    s.holderPid = pid;
    return s;
}

// /proc/locks names every flock by its holder, device and inode: a way to
// learn who holds the lock without touching it. Empty optional when the
// table cannot be read; a 0 pid when it was read and the file is not locked.
std::optional<long> flockHolderFromProc(const struct stat& st)
{
    std::ifstream table("/proc/locks");
    if (!table)
        return std::nullopt;
    char key[64];
    std::snprintf(key, sizeof key, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, where;
        fields >> number >> kind;
        // "->" marks a process waiting for the lock, not holding it.
        if (kind != "FLOCK")
            continue;
        fields >> mode >> access >> pid >> where;
        if (where == key)
            return std::strtol(pid.c_str(), nullptr, 10);
    }
    return 0L;
}

} // namespace

InstanceLock::InstanceLock(std::string path)
    : m_path(std::move(path))
{
}

InstanceLock::~InstanceLock()
{
    release();
}

bool InstanceLock::held() const
{
    return m_handle >= 0;
}

LockStatus InstanceLock::tryAcquire()
{
    LockStatus acquired;
    acquired.state = LockState::Acquired;
    if (held())
        return acquired;
    int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    // A lock file another user's driver made may be read-only to this one:
    // it can still be locked, or found held.
    if (fd < 0 && errno == EACCES) {
        fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return cannotCreate(EACCES);
    }
    if (fd < 0)
        return cannotCreate(errno);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            const std::optional<long> pid = parseLockHolder(readHolderText(fd));
            ::close(fd);
            return heldByOther(pid);
        }
        ::close(fd);
        return cannotCreate(error);
    }
    m_handle = fd;
    // Whatever an earlier holder left (a number, NULs after a power cut)
    // gives way to this process's number. Only a help for diagnosis: a
    // failure here changes nothing.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size()))
        ::fsync(fd);
    return acquired;
}

void InstanceLock::release()
{
    if (!held())
        return;
    const int fd = fdOf(m_handle);
    m_handle = -1;
    // Only while the file is still ours: a file that replaced it belongs to
    // whoever made it.
    struct stat mine {
    }, onDisk{};
    if (::fstat(fd, &mine) == 0 && ::stat(m_path.c_str(), &onDisk) == 0 && mine.st_dev == onDisk.st_dev &&
        mine.st_ino == onDisk.st_ino && ::ftruncate(fd, 0) != 0) {
        // An empty file says no driver holds it; a number left there is harmless.
    }
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

bool InstanceLock::stillOnDisk() const
{
    if (!held())
        return false;
    struct stat mine {
    }, onDisk{};
    return ::fstat(fdOf(m_handle), &mine) == 0 && ::stat(m_path.c_str(), &onDisk) == 0 &&
           mine.st_dev == onDisk.st_dev && mine.st_ino == onDisk.st_ino;
}

InstanceLock::CheckResult InstanceLock::recheck()
{
    CheckResult result;
    if (stillOnDisk()) {
        result.status.state = LockState::Acquired;
        return result;
    }
    const bool wasHeld = held();
    if (wasHeld) {
        // The lock on a file that has lost its name guards nothing.
        const int fd = fdOf(m_handle);
        m_handle = -1;
        ::close(fd);
    }
    result.status = tryAcquire();
    result.check = result.status.state == LockState::Acquired ? Check::Retaken : Check::Lost;
    return result;
}

LockStatus InstanceLock::query(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return {};
        return cannotCreate(errno);
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const std::optional<long> written = fd >= 0 ? parseLockHolder(readHolderText(fd)) : std::nullopt;
    if (const std::optional<long> holder = flockHolderFromProc(st)) {
        if (fd >= 0)
            ::close(fd);
        if (*holder == 0)
            return {};
        return heldByOther(*holder > 0 ? std::optional<long>(*holder) : written);
    }
    // Without /proc the only test is a shared lock taken and dropped at once;
    // it never blocks a driver that holds the lock.
    if (fd < 0)
        return cannotCreate(errno);
    LockStatus status;
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0)
        ::flock(fd, LOCK_UN);
    else if (errno == EWOULDBLOCK)
        status = heldByOther(written);
    else
        status = cannotCreate(errno);
    ::close(fd);
    return status;
}

} // namespace tavor1

#endif

// The instance lock on Windows: LockFileEx on a handle kept open for the
// whole run. Windows drops the lock when the process ends, however it ends.
//
// Windows locks are mandatory: locked bytes cannot be read through another
// handle. The lock therefore covers one byte far past the end of the file,
// and the holder's number at the start stays readable for a technician and
// for query().
#ifdef _WIN32

#include "platform/InstanceLock.h"
#include "platform/NativePath.h"

#include <windows.h>

#include <system_error>

namespace tavor1 {

namespace {

// 4 GiB: no lock file ever grows that far.
constexpr DWORD kLockOffsetHigh = 1;

HANDLE handleOf(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

LockStatus cannotCreate(DWORD error)
{
    LockStatus s;
    s.state = LockState::CannotCreate;
    s.error = std::system_category().message(static_cast<int>(error));
    return s;
}

LockStatus heldByOther(std::optional<long> pid)
{
    LockStatus s;
    s.state = LockState::HeldByOther;
    s.holderPid = pid;
    return s;
}

HANDLE openLockFile(const std::string& path, DWORD access, DWORD disposition)
{
    // Shared for delete too: a technician may remove the data directory under
    // a running driver, which notices it through stillOnDisk().
    return CreateFileW(nativePath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool lockRange(HANDLE h, bool exclusive)
{
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return LockFileEx(h, flags, 0, 1, 0, &at) != 0;
}

void unlockRange(HANDLE h)
{
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    UnlockFileEx(h, 0, 1, 0, &at);
}

std::string readHolderText(HANDLE h)
{
    char buffer[64];
    OVERLAPPED at{};
    DWORD n = 0;
    if (!ReadFile(h, buffer, sizeof buffer, &n, &at))
        return {};
    return std::string(buffer, n);
}

bool sameFile(HANDLE mine, const std::string& path)
{
    // A file deleted while open keeps its name until its last handle closes
    // (unless the volume deletes the POSIX way): it is gone all the same.
    FILE_STANDARD_INFO standard{};
    if (GetFileInformationByHandleEx(mine, FileStandardInfo, &standard, sizeof standard) && standard.DeletePending)
        return false;
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    if (!GetFileInformationByHandle(mine, &a))
        return false;
    // No access asked: this works on a file that others hold open too.
    const HANDLE other = openLockFile(path, 0, OPEN_EXISTING);
    if (other == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = GetFileInformationByHandle(other, &b) != 0;
    CloseHandle(other);
    return ok && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
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
    return m_handle != -1;
}

LockStatus InstanceLock::tryAcquire()
{
    LockStatus acquired;
    acquired.state = LockState::Acquired;
    if (held())
        return acquired;
    HANDLE h = openLockFile(m_path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    // A lock file another user's driver made may be read-only to this one:
    // it can still be locked, or found held.
    if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
        h = openLockFile(m_path, GENERIC_READ, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE)
        return cannotCreate(GetLastError());
    if (!lockRange(h, true)) {
        const DWORD error = GetLastError();
        if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) {
            const std::optional<long> pid = parseLockHolder(readHolderText(h));
            CloseHandle(h);
            return heldByOther(pid);
        }
        CloseHandle(h);
        return cannotCreate(error);
    }
    m_handle = reinterpret_cast<std::intptr_t>(h);
    // Whatever an earlier holder left gives way to this process's number.
    // Only a help for diagnosis: a failure here changes nothing.
    const std::string pid = std::to_string(GetCurrentProcessId()) + "\r\n";
    DWORD written = 0;
    if (SetFilePointer(h, 0, nullptr, FILE_BEGIN) == 0 && SetEndOfFile(h) &&
        WriteFile(h, pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr))
        FlushFileBuffers(h);
    return acquired;
}

void InstanceLock::release()
{
    if (!held())
        return;
    const HANDLE h = handleOf(m_handle);
    m_handle = -1;
    // Only while the file is still ours: a file that replaced it belongs to
    // whoever made it. An empty file says no driver holds it.
    if (sameFile(h, m_path) && SetFilePointer(h, 0, nullptr, FILE_BEGIN) == 0)
        SetEndOfFile(h);
    unlockRange(h);
    CloseHandle(h);
}

bool InstanceLock::stillOnDisk() const
{
    return held() && sameFile(handleOf(m_handle), m_path);
}

InstanceLock::CheckResult InstanceLock::recheck()
{
    CheckResult result;
    if (stillOnDisk()) {
        result.status.state = LockState::Acquired;
        return result;
    }
    if (held()) {
        // The lock on a file that has lost its name guards nothing.
        const HANDLE h = handleOf(m_handle);
        m_handle = -1;
        CloseHandle(h);
    }
    result.status = tryAcquire();
    result.check = result.status.state == LockState::Acquired ? Check::Retaken : Check::Lost;
    return result;
}

LockStatus InstanceLock::query(const std::string& path)
{
    const HANDLE h = openLockFile(path, GENERIC_READ, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return {};
        return cannotCreate(error);
    }
    // A shared lock taken and dropped at once never blocks a driver that
    // holds the lock, and fails while one does.
    LockStatus status;
    if (lockRange(h, false)) {
        unlockRange(h);
    } else {
        const DWORD error = GetLastError();
        if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING)
            status = heldByOther(parseLockHolder(readHolderText(h)));
        else
            status = cannotCreate(error);
    }
    CloseHandle(h);
    return status;
}

} // namespace tavor1

#endif

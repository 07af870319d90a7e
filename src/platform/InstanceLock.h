#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tavor1 {

// What became of an attempt to take the lock, or who holds it.
enum class LockState : std::int16_t {
    Acquired, // this process holds it
    Free, // nobody holds it (a query only)
    HeldByOther, // another process holds it: another driver serves the directory
    CannotCreate // the lock file cannot be made or opened (read-only or missing directory)
};

struct LockStatus {
    LockState state = LockState::Free;
    // HeldByOther: the holder's process number, when it could be learnt.
    std::optional<long> holderPid;
    // CannotCreate: the operating system's text for the failure.
    std::string error;
};

// One driver per data directory. The lock is one the operating system drops
// when its process dies, however it dies (flock on POSIX, LockFileEx on
// Windows): a lock file left over by a power cut or a killed driver, empty,
// full of NULs or of garbage, never keeps a driver from starting. The file's
// content is only the holder's process number, for a technician to read.
//
// The file stays on disk after release: removing it would let a driver that
// had opened it a moment before lock a file that no longer has a name.
class InstanceLock {
public:
    explicit InstanceLock(std::string path);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    const std::string& path() const { return m_path; }
    bool held() const;

    // Takes the lock without waiting; Acquired when this process already holds it.
    LockStatus tryAcquire();
    void release();

    // True when the lock is held and the file at the path is still the one
    // it holds: false once the file, or the whole data directory, has been
    // deleted (and perhaps made again) under the running driver.
    bool stillOnDisk() const;

    enum class Check : std::int16_t {
        Kept, // held all along
        Retaken, // the file had gone or been replaced; the lock is held again on the new one
        Lost // not held now; status says why (another driver, or no directory)
    };
    struct CheckResult {
        Check check = Check::Kept;
        LockStatus status;
    };
    // For a driver that runs: keeps the lock on the file at the path, taking
    // it again when the file was deleted or the directory re-created.
    CheckResult recheck();

    // Who holds the lock at the path, without taking it: Free, or
    // HeldByOther with the holder's number when known; CannotCreate when the
    // state cannot be told. On Linux the kernel's lock table is read and the
    // file is not locked at all; elsewhere a shared lock is taken and dropped
    // at once, which never disturbs a driver that holds the lock.
    static LockStatus query(const std::string& path);

private:
    std::string m_path;
    // The open lock file while held; -1 otherwise.
    std::intptr_t m_handle = -1;
};

// The process number written in a lock file: digits, optionally surrounded by
// blanks and line ends; empty for anything else (an empty file, NULs, garbage).
std::optional<long> parseLockHolder(const std::string& content);

} // namespace tavor1

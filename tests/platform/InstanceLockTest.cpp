// The lock that keeps a second driver off a data directory: what a start
// finds after a power cut, a crash, or with another driver running.

// Real processes (fork) hold the lock here; the Windows lock has its own
// tests (InstanceLockWindowsTest.cpp).
#ifndef _WIN32

#include "platform/InstanceLock.h"
#include "platform/ByteFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tavor1 {
namespace {

namespace fs = std::filesystem;

// Another process holding the lock at a path, as a second driver would: it
// takes it with flock and writes its number, then waits to be killed.
class LockHolder {
public:
    explicit LockHolder(const std::string& path)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            // Only async-signal-safe calls in the child of a threaded program.
            const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0644);
            char ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
            char digits[16];
            int at = sizeof digits;
            for (long v = ::getpid(); v > 0; v /= 10)
                digits[--at] = static_cast<char>('0' + v % 10);
            const auto n = static_cast<ssize_t>(sizeof digits) - at;
            if (ok && (::ftruncate(fd, 0) != 0 || ::write(fd, digits + at, static_cast<std::size_t>(n)) != n))
                ok = 0;
            [[maybe_unused]] auto w = ::write(ready[1], &ok, 1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char ok = 0;
        m_locked = ::read(ready[0], &ok, 1) == 1 && ok == 1;
        ::close(ready[0]);
    }
    ~LockHolder() { stop(); }

    bool locked() const { return m_locked; }
    long pid() const { return m_pid; }
    // The holder dies the way a driver does in a power cut or under kill -9.
    void stop()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    bool m_locked = false;
};

// What a start finds in the data directory: the lock file as an earlier
// driver left it (none when empty), or a driver that still holds it.
struct StartRow {
    const char* name;
    std::optional<std::string> leftover;
    bool liveHolder;
};

class InstanceLockAtStart : public ::testing::TestWithParam<StartRow> { };

TEST_P(InstanceLockAtStart, IsTakenUnlessALiveDriverHoldsIt)
{
    test::TempDir dir;
    const std::string path = joinPath(dir.path(), "tavor1.lock");
    if (GetParam().leftover)
        writeFileBytes(path, *GetParam().leftover);
    std::unique_ptr<LockHolder> holder;
    if (GetParam().liveHolder) {
        holder = std::make_unique<LockHolder>(path);
        ASSERT_TRUE(holder->locked());
    }

    InstanceLock lock(path);
    const LockStatus status = lock.tryAcquire();
    if (!holder) {
        ASSERT_EQ(status.state, LockState::Acquired) << status.error;
        EXPECT_EQ(parseLockHolder(readFileBytes(path).value_or("")), ::getpid())
            << "the file names the holder for a technician";
        EXPECT_EQ(InstanceLock::query(path).holderPid, ::getpid());
        lock.release();
        EXPECT_EQ(InstanceLock::query(path).state, LockState::Free);
        EXPECT_EQ(InstanceLock(path).tryAcquire().state, LockState::Acquired) << "released for the next driver";
    } else {
        ASSERT_EQ(status.state, LockState::HeldByOther) << status.error;
        EXPECT_EQ(status.holderPid, holder->pid());
        EXPECT_EQ(InstanceLock::query(path).holderPid, holder->pid());
        holder->stop();
        EXPECT_EQ(lock.tryAcquire().state, LockState::Acquired) << "a dead holder's lock is gone with it";
    }
}

INSTANTIATE_TEST_SUITE_P(Leftovers, InstanceLockAtStart,
                         ::testing::Values(StartRow{"NoLockFile", std::nullopt, false},
                                           StartRow{"EmptyAfterAPowerCut", "", false},
                                           StartRow{"FullOfNuls", std::string(4096, '\0'), false},
                                           StartRow{"Garbage", std::string("\xFF\xFEQ\r\nLOCK 12x\0", 12), false},
                                           // A crashed driver's number, now perhaps some other program's.
                                           StartRow{"LeftByADeadDriver", "1\n", false},
                                           StartRow{"HeldByALiveDriver", "", true}),
                         [](const ::testing::TestParamInfo<StartRow>& info) { return std::string(info.param.name); });

// The lock's answer for a path as a user without root's privileges gets it
// (root ignores a directory's permissions): the operating system's text when
// the file cannot be made, else a note of what happened instead.
std::string whyNotAsUnprivilegedUser(const std::string& path)
{
    int out[2];
    if (::pipe(out) != 0)
        return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(1);
        const LockStatus s = InstanceLock(path).tryAcquire();
        const std::string text = s.state == LockState::CannotCreate ? s.error : "not refused";
        [[maybe_unused]] auto w = ::write(out[1], text.data(), text.size());
        ::_exit(0);
    }
    ::close(out[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    ::waitpid(pid, nullptr, 0);
    return text;
}

TEST(InstanceLock, ADirectoryWithoutRoomForTheLockSaysWhyInTheSystemsWords)
{
    test::TempDir base;
    fs::permissions(base.path(), fs::perms::all, fs::perm_options::replace);
    const std::string readOnly = joinPath(base.path(), "sola lettura");
    ASSERT_TRUE(makeDirectory(readOnly));
    fs::permissions(readOnly, static_cast<fs::perms>(0555), fs::perm_options::replace);
    EXPECT_EQ(whyNotAsUnprivilegedUser(joinPath(readOnly, "tavor1.lock")), "Permission denied");
    EXPECT_EQ(whyNotAsUnprivilegedUser(joinPath(base.path(), "sparita/tavor1.lock")), "No such file or directory");
}

// A driver that runs while its data directory is deleted and made again.
struct RecheckRow {
    const char* name;
    std::function<void(const std::string& dir, std::unique_ptr<LockHolder>& holder)> meanwhile;
    InstanceLock::Check expected;
    LockState state;
};

class InstanceLockWhileRunning : public ::testing::TestWithParam<RecheckRow> { };

TEST_P(InstanceLockWhileRunning, IsTakenAgainOnTheNewDirectory)
{
    test::TempDir base;
    const std::string dir = joinPath(base.path(), "dati");
    makeDirectory(dir);
    const std::string path = joinPath(dir, "tavor1.lock");
    InstanceLock lock(path);
    ASSERT_EQ(lock.tryAcquire().state, LockState::Acquired);

    std::unique_ptr<LockHolder> holder;
    GetParam().meanwhile(dir, holder);
    const InstanceLock::CheckResult r = lock.recheck();
    EXPECT_EQ(r.check, GetParam().expected) << r.status.error;
    EXPECT_EQ(r.status.state, GetParam().state);
    EXPECT_EQ(lock.held(), r.status.state == LockState::Acquired);
    EXPECT_EQ(lock.stillOnDisk(), lock.held());
    if (lock.held()) {
        EXPECT_EQ(InstanceLock(path).tryAcquire().state, LockState::HeldByOther)
            << "a second driver started now must be refused";
    }
    if (holder) {
        EXPECT_EQ(r.status.holderPid, holder->pid());
        holder->stop();
        EXPECT_EQ(lock.recheck().check, InstanceLock::Check::Retaken);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, InstanceLockWhileRunning,
    ::testing::Values(
        RecheckRow{"Nothing", [](const std::string&, auto&) {}, InstanceLock::Check::Kept, LockState::Acquired},
        RecheckRow{"LockFileDeleted", [](const std::string& d, auto&) { fs::remove(joinPath(d, "tavor1.lock")); },
                   InstanceLock::Check::Retaken, LockState::Acquired},
        RecheckRow{"DirectoryGone", [](const std::string& d, auto&) { fs::remove_all(d); }, InstanceLock::Check::Lost,
                   LockState::CannotCreate},
        RecheckRow{"DirectoryMadeAgainByAnotherDriver",
                   [](const std::string& d, std::unique_ptr<LockHolder>& h) {
                       fs::remove_all(d);
                       fs::create_directory(d);
                       h = std::make_unique<LockHolder>(joinPath(d, "tavor1.lock"));
                   },
                   InstanceLock::Check::Lost, LockState::HeldByOther}),
    [](const ::testing::TestParamInfo<RecheckRow>& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1

#endif

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
#include <vector>

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
            if (ok) {
                char digits[16];
                int n = 0;
                for (long v = ::getpid(); v > 0; v /= 10)
                    digits[n++] = static_cast<char>('0' + v % 10);
                for (int i = 0; i < n / 2; ++i)
                    std::swap(digits[i], digits[n - 1 - i]);
                if (::ftruncate(fd, 0) != 0 || ::write(fd, digits, static_cast<std::size_t>(n)) != n)
                    ok = 0;
            }
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

// What a start finds in the data directory.
struct StartRow {
    const char* name;
    // Prepares the directory; may start a holder.
    std::function<void(const std::string& dir, std::unique_ptr<LockHolder>& holder)> before;
    LockState expected;
};

class InstanceLockAtStart : public ::testing::TestWithParam<StartRow> {
protected:
    test::TempDir base;
    std::string dir = base.path();
    std::string lockPath = joinPath(dir, "tavor1.lock");
};

TEST_P(InstanceLockAtStart, IsTakenUnlessALiveDriverHoldsIt)
{
    const StartRow& row = GetParam();
    std::unique_ptr<LockHolder> holder;
    row.before(dir, holder);
    if (holder) {
        ASSERT_TRUE(holder->locked());
    }

    InstanceLock lock(lockPath);
    const LockStatus status = lock.tryAcquire();
    ASSERT_EQ(status.state, row.expected) << status.error;
    if (row.expected == LockState::Acquired) {
        EXPECT_TRUE(lock.held());
        EXPECT_EQ(parseLockHolder(readFileBytes(lockPath).value_or("")), ::getpid())
            << "the file names the holder for a technician";
        EXPECT_EQ(InstanceLock::query(lockPath).state, LockState::HeldByOther);
        EXPECT_EQ(InstanceLock::query(lockPath).holderPid, ::getpid());
        lock.release();
        EXPECT_EQ(InstanceLock::query(lockPath).state, LockState::Free);
        EXPECT_EQ(InstanceLock(lockPath).tryAcquire().state, LockState::Acquired) << "released for the next driver";
    } else {
        EXPECT_FALSE(lock.held());
        ASSERT_TRUE(holder);
        EXPECT_EQ(status.holderPid, holder->pid());
        const LockStatus seen = InstanceLock::query(lockPath);
        EXPECT_EQ(seen.state, LockState::HeldByOther);
        EXPECT_EQ(seen.holderPid, holder->pid());
        holder->stop();
        EXPECT_EQ(lock.tryAcquire().state, LockState::Acquired) << "a dead holder's lock is gone with it";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Leftovers, InstanceLockAtStart,
    ::testing::Values(StartRow{"NoLockFile", [](const std::string&, auto&) {}, LockState::Acquired},
                      StartRow{"EmptyAfterAPowerCut",
                               [](const std::string& d, auto&) { writeFileBytes(joinPath(d, "tavor1.lock"), ""); },
                               LockState::Acquired},
                      StartRow{"FullOfNuls",
                               [](const std::string& d, auto&) {
                                   writeFileBytes(joinPath(d, "tavor1.lock"), std::string(4096, '\0'));
                               },
                               LockState::Acquired},
                      StartRow{"Garbage",
                               [](const std::string& d, auto&) {
                                   writeFileBytes(joinPath(d, "tavor1.lock"),
                                                  std::string("\xFF\xFEQ\r\nLOCK 12x\0", 12));
                               },
                               LockState::Acquired},
                      // A crashed driver's number, now perhaps some other program's.
                      StartRow{"LeftByADeadDriver",
                               [](const std::string& d, auto&) { writeFileBytes(joinPath(d, "tavor1.lock"), "1\n"); },
                               LockState::Acquired},
                      StartRow{"HeldByALiveDriver",
                               [](const std::string& d, std::unique_ptr<LockHolder>& h) {
                                   h = std::make_unique<LockHolder>(joinPath(d, "tavor1.lock"));
                               },
                               LockState::HeldByOther}),
    [](const ::testing::TestParamInfo<StartRow>& info) { return std::string(info.param.name); });

// Runs fn in a child process without root's privileges (root ignores a
// directory's permissions); returns the lock state it saw and its text.
std::pair<LockState, std::string> asUnprivilegedUser(const std::function<LockStatus()>& fn)
{
    int out[2];
    if (::pipe(out) != 0)
        return {LockState::Free, "no pipe"};
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(1);
        const LockStatus s = fn();
        const std::string text = std::to_string(static_cast<int>(s.state)) + ":" + s.error;
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
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        return {LockState::Free, "child failed: " + text};
    return {static_cast<LockState>(std::stoi(text.substr(0, colon))), text.substr(colon + 1)};
}

struct CannotCreateRow {
    const char* name;
    std::function<std::string(const test::TempDir&)> lockPath;
    const char* errorText;
};

class InstanceLockCannotCreate : public ::testing::TestWithParam<CannotCreateRow> { };

TEST_P(InstanceLockCannotCreate, SaysWhyInTheSystemsWords)
{
    test::TempDir base;
    fs::permissions(base.path(), fs::perms::all, fs::perm_options::replace);
    const std::string path = GetParam().lockPath(base);
    const auto [state, error] = asUnprivilegedUser([&] { return InstanceLock(path).tryAcquire(); });
    EXPECT_EQ(state, LockState::CannotCreate) << error;
    EXPECT_EQ(error, GetParam().errorText);
}

INSTANTIATE_TEST_SUITE_P(
    Directories, InstanceLockCannotCreate,
    ::testing::Values(CannotCreateRow{"ReadOnly",
                                      [](const test::TempDir& b) {
                                          const std::string d = joinPath(b.path(), "sola lettura");
                                          makeDirectory(d);
                                          fs::permissions(d,
                                                          fs::perms::owner_read | fs::perms::owner_exec |
                                                              fs::perms::group_read | fs::perms::group_exec |
                                                              fs::perms::others_read | fs::perms::others_exec,
                                                          fs::perm_options::replace);
                                          return joinPath(d, "tavor1.lock");
                                      },
                                      "Permission denied"},
                      CannotCreateRow{"Missing",
                                      [](const test::TempDir& b) { return joinPath(b.path(), "sparita/tavor1.lock"); },
                                      "No such file or directory"}),
    [](const ::testing::TestParamInfo<CannotCreateRow>& info) { return std::string(info.param.name); });

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
        RecheckRow{"DirectoryMadeAgain",
                   [](const std::string& d, auto&) {
                       fs::remove_all(d);
                       fs::create_directory(d);
                   },
                   InstanceLock::Check::Retaken, LockState::Acquired},
        RecheckRow{"DirectoryGone", [](const std::string& d, auto&) { fs::remove_all(d); }, InstanceLock::Check::Lost,
                   LockState::CannotCreate},
        RecheckRow{"AnotherDriverCameFirst",
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

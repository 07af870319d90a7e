// The Windows lock: LockFileEx on a byte past the end of the file. Locks
// hold per handle, so a second InstanceLock of this program stands for a
// second driver.
#ifdef _WIN32

#include "platform/ByteFiles.h"
#include "platform/InstanceLock.h"
#include "platform/NativePath.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace tavor1 {
namespace {

using test::TempDir;

const long kOwnPid = static_cast<long>(GetCurrentProcessId());

TEST(InstanceLockWindows, ASecondDriverFindsItHeldAndWhoHoldsIt)
{
    TempDir dir("tavor1 dati è ");
    const std::string path = joinPath(dir.path(), "tavor1.lock");
    InstanceLock first(path);
    ASSERT_EQ(first.tryAcquire().state, LockState::Acquired);
    EXPECT_EQ(first.tryAcquire().state, LockState::Acquired) << "taking it again is no conflict";
    EXPECT_EQ(parseLockHolder(readFileBytes(path).value_or("")), kOwnPid)
        << "the number stays readable while the lock is held";

    InstanceLock second(path);
    const LockStatus other = second.tryAcquire();
    EXPECT_EQ(other.state, LockState::HeldByOther);
    EXPECT_EQ(other.holderPid, kOwnPid);
    EXPECT_FALSE(second.held());
    EXPECT_EQ(InstanceLock::query(path).state, LockState::HeldByOther);

    first.release();
    EXPECT_EQ(InstanceLock::query(path).state, LockState::Free);
    EXPECT_EQ(second.tryAcquire().state, LockState::Acquired);
}

TEST(InstanceLockWindows, WhatAnEarlierDriverLeftNeverBlocksAStartButAMissingDirectoryDoes)
{
    TempDir dir;
    for (const std::string& left : {std::string("4242\r\n"), std::string(512, '\0'), std::string("garbage")}) {
        const std::string path = dir.write("tavor1.lock", left);
        EXPECT_EQ(InstanceLock::query(path).state, LockState::Free);
        InstanceLock lock(path);
        EXPECT_EQ(lock.tryAcquire().state, LockState::Acquired);
        EXPECT_EQ(parseLockHolder(readFileBytes(path).value_or("")), kOwnPid);
    }
    EXPECT_EQ(InstanceLock::query(dir.file("absent.lock")).state, LockState::Free);
    const LockStatus missing = InstanceLock(joinPath(dir.path(), "assente\\tavor1.lock")).tryAcquire();
    EXPECT_EQ(missing.state, LockState::CannotCreate);
    EXPECT_FALSE(missing.error.empty());
}

bool underWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

TEST(InstanceLockWindows, AFileReplacedUnderTheDriverIsTakenAgain)
{
    TempDir dir;
    const std::string path = joinPath(dir.path(), "tavor1.lock");
    InstanceLock lock(path);
    ASSERT_EQ(lock.tryAcquire().state, LockState::Acquired);
    EXPECT_EQ(lock.recheck().check, InstanceLock::Check::Kept);

    // A restore or a sync tool puts another file in its place.
    ASSERT_TRUE(MoveFileW(nativePath(path).c_str(), nativePath(dir.file("old.lock")).c_str()));
    ASSERT_TRUE(writeFileBytes(path, ""));
    EXPECT_EQ(lock.recheck().check, InstanceLock::Check::Retaken);
    EXPECT_TRUE(lock.stillOnDisk());
    EXPECT_EQ(InstanceLock::query(path).state, LockState::HeldByOther);
    EXPECT_EQ(InstanceLock::query(dir.file("old.lock")).state, LockState::Free);
}

TEST(InstanceLockWindows, AFileDeletedUnderTheDriverIsTakenAgain)
{
    if (underWine())
        GTEST_SKIP() << "Wine keeps the name of a file deleted while open, and opens it again as the same file";
    TempDir dir;
    const std::string path = joinPath(dir.path(), "tavor1.lock");
    InstanceLock lock(path);
    ASSERT_EQ(lock.tryAcquire().state, LockState::Acquired);
    ASSERT_TRUE(removeFile(path)) << "the lock file is shared for delete";
    EXPECT_EQ(lock.recheck().check, InstanceLock::Check::Retaken);
    EXPECT_TRUE(lock.stillOnDisk());
}

} // namespace
} // namespace tavor1

#endif

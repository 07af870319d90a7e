#include "platform/LockHolder.h"

#include "platform/ByteFiles.h"
#include "platform/InstanceLock.h"

namespace tavor1 {

std::string instanceLockPath(const std::string& dataDir)
{
    return joinPath(dataDir, "tavor1.lock");
}

std::optional<long> lockHolderPid(const std::string& dataDir)
{
    // Asked of the operating system's lock, never of the file's text: a lock
    // file left by a crash may name a process number that now belongs to
    // another program.
    const LockStatus status = InstanceLock::query(instanceLockPath(dataDir));
    if (status.state != LockState::HeldByOther)
        return std::nullopt;
    return status.holderPid.value_or(0);
}

} // namespace tavor1

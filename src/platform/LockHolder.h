#pragma once

// Who holds a driver's instance lock on a data directory, for the commands
// that must know whether a driver serves it (`tavor1 doctor`, `tavor1 cancel`).

#include <optional>
#include <string>

namespace tavor1 {

// The lock file of a data directory.
std::string instanceLockPath(const std::string& dataDir);

// The process id written in the lock file when that process is alive; empty
// when the lock is free (no file, an unreadable one, or a dead holder).
std::optional<long> lockHolderPid(const std::string& dataDir);

} // namespace tavor1

#pragma once

// Who holds a driver's instance lock on a data directory, for the commands
// that must know whether a driver serves it (`tavor1 doctor`, `tavor1 cancel`).

#include <optional>
#include <string>

namespace tavor1 {

// The lock file of a data directory.
std::string instanceLockPath(const std::string& dataDir);

// The process number of the driver that holds the lock (0 when it holds it
// but its number cannot be learnt); empty when the lock is free.
std::optional<long> lockHolderPid(const std::string& dataDir);

} // namespace tavor1

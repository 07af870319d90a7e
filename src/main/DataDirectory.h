#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavor1 {

// DataDir as start-up settles it: the --data-dir option when given, else the
// registry's CustomPathDataDir when it names a directory, else the program
// directory (this system has no common application-data folder of the kind
// the driver used on Vista-class Windows). One trailing separator is dropped.
std::string settleDataDir(const std::string& programDir, const std::string& customPathDataDir,
                          const std::optional<std::string>& commandLineDataDir);

// The text shown when DataDir does not exist.
std::string missingDataDirText(const std::string& dataDir);

// The driver's exit statuses at start-up besides 0 and the command line's 2.
inline constexpr int kExitDataDirMissing = 1;
inline constexpr int kExitAnotherDriver = 3;
inline constexpr int kExitDataDirNotWritable = 4;

// Another driver holds the lock (its process number when known).
std::string anotherDriverText(const std::string& dataDir, std::optional<long> holderPid);
// The data directory refuses new files; osError is the system's reason.
std::string unwritableDataDirText(const std::string& dataDir, const std::string& osError);

} // namespace tavor1

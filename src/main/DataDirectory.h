#pragma once

#include <optional>
#include <string>

namespace tavor1 {

// DataDir as start-up settles it: the --data-dir option when given, else the
// registry's CustomPathDataDir when it names a directory, else the program
// directory (this system has no common application-data folder of the kind
// the driver used on Vista-class Windows). One trailing separator is dropped.
std::string settleDataDir(const std::string& programDir, const std::string& customPathDataDir,
                          const std::optional<std::string>& commandLineDataDir);

// The text shown when DataDir does not exist.
std::string missingDataDirText(const std::string& dataDir);

} // namespace tavor1

#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tavor1::host {

// Exit statuses of tavor1-host.
inline constexpr int kDone = 0;       // FINESCO (submit) or SR_MATR (wait-ready)
inline constexpr int kFailed = 1;     // SR_ERR
inline constexpr int kTimedOut = 2;
inline constexpr int kUsage = 3;

// tavor1-host COMMAND ...: argv without the program name.
int runHost(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace tavor1::host

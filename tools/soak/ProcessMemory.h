#pragma once

// The resident size of another process, as Linux reports it.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tavor1::soak {

// The VmRSS line of a /proc/PID/status text, in kB.
std::optional<std::int64_t> parseVmRssKb(std::string_view status);

// VmRSS of the process, in kB; empty when it cannot be read (process gone).
std::optional<std::int64_t> residentKb(std::int64_t pid);

} // namespace tavor1::soak

#include "soak/ProcessMemory.h"

#include "platform/ByteFiles.h"

#include <string>

namespace tavor1::soak {

std::optional<std::int64_t> parseVmRssKb(std::string_view status)
{
    constexpr std::string_view key = "VmRSS:";
    std::size_t at = status.find(key);
    // The key must start a line.
    while (at != std::string_view::npos && at != 0 && status[at - 1] != '\n')
        at = status.find(key, at + 1);
    if (at == std::string_view::npos)
        return std::nullopt;
    std::size_t i = at + key.size();
    while (i < status.size() && (status[i] == ' ' || status[i] == '\t'))
        ++i;
    std::int64_t kb = 0;
    const std::size_t digits = i;
    for (; i < status.size() && status[i] >= '0' && status[i] <= '9'; ++i)
        kb = kb * 10 + (status[i] - '0');
    if (i == digits || status.substr(i, 3) != " kB")
        return std::nullopt;
    return kb;
}

std::optional<std::int64_t> residentKb(std::int64_t pid)
{
    if (pid <= 0)
        return std::nullopt;
    const auto status = readFileBytes("/proc/" + std::to_string(pid) + "/status", 64 * 1024);
    if (!status)
        return std::nullopt;
    return parseVmRssKb(*status);
}

} // namespace tavor1::soak

#include "platform/InstanceLock.h"

namespace tavor1 {

std::optional<long> parseLockHolder(const std::string& content)
{
    std::size_t at = 0;
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (at < content.size() && isBlank(content[at]))
        ++at;
    long pid = 0;
    std::size_t digits = 0;
    for (; at < content.size() && content[at] >= '0' && content[at] <= '9'; ++at, ++digits) {
        // More digits than any process number has: garbage.
        if (digits >= 9)
            return std::nullopt;
        pid = pid * 10 + (content[at] - '0');
    }
    while (at < content.size() && isBlank(content[at]))
        ++at;
    if (digits == 0 || at != content.size() || pid <= 0)
        return std::nullopt;
    return pid;
}

} // namespace tavor1

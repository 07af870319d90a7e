#include "platform/LockHolder.h"

#include "platform/ByteFiles.h"

#include <cerrno>
#include <charconv>

#ifndef _WIN32
#include <signal.h>
#endif

namespace tavor1 {

std::string instanceLockPath(const std::string& dataDir)
{
    return joinPath(dataDir, "tavor1.lock");
}

std::optional<long> lockHolderPid(const std::string& dataDir)
{
    // The holder writes its process id as the first line.
    const auto text = readFileBytes(instanceLockPath(dataDir), 4096);
    if (!text)
        return std::nullopt;
    long pid = 0;
    const char* end = text->data() + text->size();
    auto [ptr, ec] = std::from_chars(text->data(), end, pid);
    if (ec != std::errc() || pid <= 0)
        return std::nullopt;
#ifndef _WIN32
    // Signal 0 only asks whether the process exists; EPERM means it does,
    // under another user (the service's).
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)
        return std::nullopt;
#endif
    return pid;
}

} // namespace tavor1

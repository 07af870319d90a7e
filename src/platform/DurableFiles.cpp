#include "platform/DurableFiles.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

namespace tavor1 {

namespace {

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool writeAndSync(const std::string& path, std::string_view bytes, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, bytes);
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    return ok;
}

// A rename is durable only once the folder that holds the name is synced.
void syncFolderOf(const std::string& path)
{
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (folder.empty())
        folder = std::filesystem::current_path(ec);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool appendFileDurably(const std::string& path, std::string_view bytes)
{
    const bool created = ::access(path.c_str(), F_OK) != 0;
    if (!writeAndSync(path, bytes, O_APPEND))
        return false;
    if (created)
        syncFolderOf(path);
    return true;
}

bool replaceFileDurably(const std::string& path, std::string_view bytes)
{
    const std::string temp = path + ".tmp";
    if (!writeAndSync(temp, bytes, O_TRUNC) || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    syncFolderOf(path);
    return true;
}

} // namespace tavor1

#include "platform/DurableFiles.h"

#ifdef _WIN32

#include "platform/NativePath.h"

#include <windows.h>

namespace tavor1 {

namespace {

bool writeAndSync(const std::string& path, std::string_view bytes, bool append)
{
    const HANDLE h = CreateFileW(nativePath(path).c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ,
                                 nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    while (ok && !bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        ok = WriteFile(h, bytes.data(), chunk, &written, nullptr) && written > 0;
        bytes.remove_prefix(written);
    }
    ok = FlushFileBuffers(h) && ok;
    ok = CloseHandle(h) && ok;
    return ok;
}

} // namespace

bool appendFileDurably(const std::string& path, std::string_view bytes)
{
    return writeAndSync(path, bytes, true);
}

// Windows has no folder to sync: a rename asked to write through returns
// once it is on the disk. A plain rename would also refuse an existing
// target there.
bool replaceFileDurably(const std::string& path, std::string_view bytes)
{
    const std::string temp = path + ".tmp";
    if (!writeAndSync(temp, bytes, false) || !MoveFileExW(nativePath(temp).c_str(), nativePath(path).c_str(),
                                                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(nativePath(temp).c_str());
        return false;
    }
    return true;
}

} // namespace tavor1

#else

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

#endif

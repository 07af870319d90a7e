#include "platform/ByteFiles.h"

#include "platform/NativePath.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace tavor1 {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

#ifdef _WIN32
// Windows reports its own error numbers, and the ones a held file gives are
// not all matched to their std::errc by the runtime: callers compare with
// std::errc on every platform.
std::error_code portableError(const std::error_code& error)
{
    if (error.category() != std::system_category())
        return error;
    switch (error.value()) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: // open elsewhere without delete sharing
    case ERROR_LOCK_VIOLATION:
        return std::make_error_code(std::errc::permission_denied);
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_WRITE_PROTECT:
        return std::make_error_code(std::errc::read_only_file_system);
    default:
        return error;
    }
}
#else
std::error_code portableError(const std::error_code& error)
{
    return error;
}
#endif

bool writeWithMode(const std::string& path, std::string_view bytes, const char* mode)
{
    std::FILE* f = openFile(path, mode);
    if (!f)
        return false;
    const std::size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
    // fclose flushes: a full disk shows up here, not in fwrite.
    const bool closed = std::fclose(f) == 0;
    return closed && written == bytes.size();
}

} // namespace

bool fileExists(const std::string& path)
{
    std::error_code ec;
    const fs::file_status st = fs::status(nativePath(path), ec);
    return !ec && fs::exists(st) && !fs::is_directory(st);
}

bool isDirectory(const std::string& path)
{
    std::error_code ec;
    return fs::is_directory(nativePath(path), ec);
}

bool removeFile(const std::string& path)
{
    std::error_code ec;
    return removeFile(path, ec);
}

bool removeFile(const std::string& path, std::error_code& error)
{
    error.clear();
    if (path.empty()) {
        error = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    if (isDirectory(path)) {
        error = std::make_error_code(std::errc::is_a_directory);
        return false;
    }
    if (!fs::remove(nativePath(path), error) && !error)
        error = std::make_error_code(std::errc::no_such_file_or_directory);
    error = portableError(error);
    return !error;
}

std::optional<std::string> readFileBytes(const std::string& path, std::size_t maxBytes)
{
    if (isDirectory(path))
        return std::nullopt;
    std::FILE* f = openFile(path, "rb");
    if (!f)
        return std::nullopt;
    std::string content;
    char buf[65536];
    bool ok = true;
    for (;;) {
        const std::size_t n = std::fread(buf, 1, sizeof buf, f);
        if (n > 0) {
            if (content.size() + n > maxBytes) {
                ok = false;
                break;
            }
            content.append(buf, n);
        }
        if (n < sizeof buf) {
            ok = !std::ferror(f);
            break;
        }
    }
    std::fclose(f);
    if (!ok)
        return std::nullopt;
    return content;
}

bool writeFileBytes(const std::string& path, std::string_view bytes)
{
    return writeWithMode(path, bytes, "wb");
}

bool replaceFileBytes(const std::string& path, std::string_view bytes)
{
    std::error_code ec;
    return replaceFileBytes(path, bytes, ec);
}

#ifndef _WIN32

namespace {

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

// Writes the bytes (over the file, or after its end with O_APPEND) and forces
// them to the disk before the file is closed: a rename that follows must never
// publish a name whose content is still only in the cache, and an appended
// record must be there after a power cut.
bool writeDurably(const std::string& path, std::string_view bytes, std::error_code& error, int mode = O_TRUNC)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | mode | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = lastError();
        return false;
    }
    const char* at = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? lastError() : std::make_error_code(std::errc::no_space_on_device);
            ::close(fd);
            return false;
        }
        at += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        error = lastError();
        ::close(fd);
        return false;
    }
    if (::close(fd) != 0) {
        error = lastError();
        return false;
    }
    return true;
}

// The rename itself lives in the directory: until the directory is flushed a
// power cut may bring back the old name, or none.
void syncDirectoryOf(const std::string& path)
{
    const std::string dir = fs::path(path).parent_path().string();
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool replaceFileBytes(const std::string& path, std::string_view bytes, std::error_code& error)
{
    error.clear();
    const std::string temp = path + ".tmp";
    if (!writeDurably(temp, bytes, error)) {
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        error = lastError();
        ::unlink(temp.c_str());
        return false;
    }
    syncDirectoryOf(path);
    return true;
}

bool appendFileBytesDurably(const std::string& path, std::string_view bytes)
{
    const bool created = ::access(path.c_str(), F_OK) != 0;
    std::error_code error;
    if (!writeDurably(path, bytes, error, O_APPEND))
        return false;
    if (created)
        syncDirectoryOf(path);
    return true;
}

bool directoryWritable(const std::string& dir, std::error_code& error)
{
    error.clear();
    const std::string probe = joinPath(dir, ".tavor1-probe-" + std::to_string(::getpid()));
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    // A probe left by an earlier process of the same number is no sign of a
    // read-only directory: remove it and try once more.
    if (fd < 0 && errno == EEXIST && ::unlink(probe.c_str()) == 0)
        fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = lastError();
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

std::optional<FileIdentity> fileIdentity(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return std::nullopt;
    FileIdentity id;
    id.device = static_cast<unsigned long long>(st.st_dev);
    id.inode = static_cast<unsigned long long>(st.st_ino);
    id.modifiedNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    id.size = static_cast<unsigned long long>(st.st_size);
    return id;
}

#else

namespace {

// Writes through a handle and flushes it before it is closed: a rename that
// follows must never publish a name whose content is still only in the cache.
bool writeDurably(const std::string& path, std::string_view bytes, std::error_code& error, bool append = false)
{
    const HANDLE h = CreateFileW(nativePath(path).c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ,
                                 nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = portableError({static_cast<int>(GetLastError()), std::system_category()});
        return false;
    }
    bool ok = true;
    while (ok && !bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        ok = WriteFile(h, bytes.data(), chunk, &written, nullptr) && written > 0;
        bytes.remove_prefix(written);
    }
    ok = ok && FlushFileBuffers(h);
    if (!ok)
        error = portableError({static_cast<int>(GetLastError()), std::system_category()});
    CloseHandle(h);
    return ok;
}

} // namespace

// Windows has no folder to sync: a rename asked to write through returns once
// it is on the disk. Its plain rename would also refuse an existing target.
bool replaceFileBytes(const std::string& path, std::string_view bytes, std::error_code& error)
{
    error.clear();
    const std::string temp = path + ".tmp";
    if (!writeDurably(temp, bytes, error)) {
        DeleteFileW(nativePath(temp).c_str());
        return false;
    }
    if (!MoveFileExW(nativePath(temp).c_str(), nativePath(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = portableError({static_cast<int>(GetLastError()), std::system_category()});
        DeleteFileW(nativePath(temp).c_str());
        return false;
    }
    return true;
}

bool appendFileBytesDurably(const std::string& path, std::string_view bytes)
{
    std::error_code error;
    return writeDurably(path, bytes, error, true);
}

bool directoryWritable(const std::string& dir, std::error_code& error)
{
    error.clear();
    const std::string probe = joinPath(dir, ".tavor1-probe-" + std::to_string(GetCurrentProcessId()));
    // Removed by the system when closed, whatever happens in between.
    const HANDLE h = CreateFileW(nativePath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = portableError({static_cast<int>(GetLastError()), std::system_category()});
        return false;
    }
    CloseHandle(h);
    return true;
}

std::optional<FileIdentity> fileIdentity(const std::string& path)
{
    const HANDLE h = CreateFileW(nativePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(h, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(h);
    if (!ok)
        return std::nullopt;
    FileIdentity id;
    id.device = info.dwVolumeSerialNumber;
    id.inode = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    const unsigned long long ticks = (static_cast<unsigned long long>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                     info.ftLastWriteTime.dwLowDateTime;
    id.modifiedNs = static_cast<long long>(ticks) * 100; // 100 ns ticks
    id.size = (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return id;
}

#endif

bool appendFileBytes(const std::string& path, std::string_view bytes)
{
    return writeWithMode(path, bytes, "ab");
}

bool makeDirectory(const std::string& path)
{
    if (path.empty())
        return false;
    std::error_code ec;
    fs::create_directory(nativePath(path), ec);
    return isDirectory(path);
}

std::string joinPath(std::string_view dir, std::string_view name)
{
    while (!name.empty() && isSeparator(name.front()))
        name.remove_prefix(1);
    const bool hadDir = !dir.empty();
    while (!dir.empty() && isSeparator(dir.back()))
        dir.remove_suffix(1);
    std::string out(dir);
    if (hadDir)
        out += kSeparator;
    for (char c : name)
        out += isSeparator(c) ? kSeparator : c;
    return out;
}

} // namespace tavor1

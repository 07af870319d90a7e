#include "platform/ByteFiles.h"

#include "platform/NativePath.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
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
    const std::string temp = path + ".tmp";
    if (!writeFileBytes(temp, bytes)) {
        std::error_code ec;
        fs::remove(nativePath(temp), ec);
        return false;
    }
    std::error_code ec;
    fs::rename(nativePath(temp), nativePath(path), ec);
    if (!ec)
        return true;
    fs::remove(nativePath(temp), ec);
    return false;
}

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

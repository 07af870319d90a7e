#include "platform/NativePath.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tavor1 {

#ifdef _WIN32

namespace {

std::wstring widen(std::string_view text, UINT codePage, DWORD flags)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), n);
    return wide;
}

} // namespace

std::filesystem::path nativePath(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    std::wstring wide = widen(utf8, CP_UTF8, MB_ERR_INVALID_CHARS);
    // Bytes that are no UTF-8 are the ANSI code page's: a narrow command
    // line, a name typed into a Windows-1252 file. Read so rather than refused
    // (the standard library would throw).
    if (wide.empty())
        wide = widen(utf8, CP_ACP, 0);
    return std::filesystem::path(std::move(wide));
}

std::string utf8Path(const std::filesystem::path& path)
{
    const std::wstring& wide = path.native();
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), n, nullptr, nullptr);
    return text;
}

#else

// Elsewhere a path is the bytes it is made of, UTF-8 or not.
std::filesystem::path nativePath(std::string_view utf8)
{
    return std::filesystem::path(std::string(utf8));
}

std::string utf8Path(const std::filesystem::path& path)
{
    return path.native();
}

#endif

std::FILE* openFile(const std::string& utf8, const char* mode)
{
#ifdef _WIN32
    std::wstring wideMode;
    for (const char* c = mode; *c; ++c)
        wideMode += static_cast<wchar_t>(*c);
    return _wfopen(nativePath(utf8).c_str(), wideMode.c_str());
#else
    return std::fopen(utf8.c_str(), mode);
#endif
}

} // namespace tavor1

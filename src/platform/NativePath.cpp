#include "platform/NativePath.h"

#ifdef _WIN32
#include <cwchar>
#endif

namespace tavor1 {

std::filesystem::path nativePath(std::string_view utf8)
{
    // A char8_t string is read as UTF-8 everywhere; a char string would be
    // read in the ANSI code page on Windows.
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string utf8Path(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

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

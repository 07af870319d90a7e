#pragma once

// Paths inside the program are UTF-8 byte strings on every platform: Qt hands
// them over as UTF-8 (the data directory from the registry, the program
// folder), and so do the tests. Windows' narrow file calls (fopen, a
// std::filesystem::path made from a char string) read the same bytes in the
// ANSI code page instead, which turns a folder "Dati già" into "Dati giÃ ":
// the file is then looked for, or made, under a name nobody asked for. Every
// file-system call goes through these functions, which hand the platform the
// name it expects (UTF-16 on Windows, the bytes as given elsewhere).

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace tavor1 {

// Never throws. On Windows, bytes that are not UTF-8 are read in the ANSI
// code page (a narrow argv, a name from a Windows-1252 file).
std::filesystem::path nativePath(std::string_view utf8);
std::string utf8Path(const std::filesystem::path& path);

// std::fopen on a UTF-8 name; mode as for std::fopen.
std::FILE* openFile(const std::string& utf8, const char* mode);

} // namespace tavor1

#pragma once

// File access for the whole driver, on byte strings. Paths are std::string as
// the platform spells them (UTF-8 file names here); contents are carried as
// they lie on disk (Windows-1252 with CR LF), never re-encoded. Nothing here
// throws: every failure is a false, an empty optional or a no-op, so that a
// data directory that vanishes mid-run cannot bring a procedure down.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace tavor1 {

// Reads are capped so that a runaway file (a host writing garbage, a 50 MB
// option line) cannot eat the memory of a driver that runs all day.
inline constexpr std::size_t kDefaultReadLimit = 64u * 1024u * 1024u;

// True when something that is not a directory exists at the path.
bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);

// Deletes a file (never a directory). True when the file is gone afterwards
// because this call removed it; false when it was absent or could not be
// removed.
bool removeFile(const std::string& path);
// The same, telling why a removal failed, as a std::errc on every platform
// (a file held open elsewhere on Windows is permission_denied).
bool removeFile(const std::string& path, std::error_code& error);

// The whole content of a file; empty optional when it cannot be read or is
// larger than maxBytes.
std::optional<std::string> readFileBytes(const std::string& path, std::size_t maxBytes = kDefaultReadLimit);

// Creates or truncates the file and writes the bytes. True when all were written.
bool writeFileBytes(const std::string& path, std::string_view bytes);
// Writes a sibling temporary file and moves it over the target, so that a
// failure half-way (full disk, power loss) leaves the old content in place
// rather than a cut file. For files the program itself keeps (options).
bool replaceFileBytes(const std::string& path, std::string_view bytes);
// Appends to the file, creating it when absent.
bool appendFileBytes(const std::string& path, std::string_view bytes);

// Creates one directory; its parent must exist, so that a data directory
// that has vanished is not silently made again under a new empty tree.
// True when the directory exists afterwards.
bool makeDirectory(const std::string& path);

// dir + separator + name. The name may come in the driver's traditional form
// with a leading backslash ("\SR_START.001") or with backslashes between
// folders; they become the platform's separator. dir is given without a
// trailing separator, but one is tolerated.
std::string joinPath(std::string_view dir, std::string_view name);

} // namespace tavor1

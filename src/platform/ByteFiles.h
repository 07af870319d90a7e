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
// The same, telling why a removal failed.
bool removeFile(const std::string& path, std::error_code& error);

// The whole content of a file; empty optional when it cannot be read or is
// larger than maxBytes.
std::optional<std::string> readFileBytes(const std::string& path, std::size_t maxBytes = kDefaultReadLimit);

// Creates or truncates the file and writes the bytes. True when all were written.
bool writeFileBytes(const std::string& path, std::string_view bytes);
// Writes a sibling temporary file, flushes it to the disk, moves it over the
// target and flushes the directory entry, so that a failure half-way (full
// disk, power cut) leaves the old content or the new one, never a cut or
// empty file. For the result files a host reacts to and the files the program
// itself keeps (options).
bool replaceFileBytes(const std::string& path, std::string_view bytes);
// The same, telling why the replace failed.
bool replaceFileBytes(const std::string& path, std::string_view bytes, std::error_code& error);
// Appends to the file, creating it when absent.
bool appendFileBytes(const std::string& path, std::string_view bytes);
// The same, returning only once the bytes are on the disk: a record written
// before a step is still there after a crash in the middle of that step.
bool appendFileBytesDurably(const std::string& path, std::string_view bytes);

// Creates one directory; its parent must exist, so that a data directory
// that has vanished is not silently made again under a new empty tree.
// True when the directory exists afterwards.
bool makeDirectory(const std::string& path);

// True when a new file can be created in the directory: one is made beside
// the others and removed again. error tells why not.
bool directoryWritable(const std::string& dir, std::error_code& error);

// What tells one file from another at the same path: a file deleted and
// written again, or rewritten in place, has another identity.
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long modifiedNs = 0;
    unsigned long long size = 0;
    bool operator==(const FileIdentity&) const = default;
};
// The identity of the file at the path; empty when there is none (or it is a
// directory).
std::optional<FileIdentity> fileIdentity(const std::string& path);

// dir + separator + name. The name may come in the driver's traditional form
// with a leading backslash ("\SR_START.001") or with backslashes between
// folders; they become the platform's separator. dir is given without a
// trailing separator, but one is tolerated.
std::string joinPath(std::string_view dir, std::string_view name);

} // namespace tavor1

#include "settings/DocumentFiles.h"

#include "platform/ByteFiles.h"
#include "platform/NativePath.h"

#include <cerrno>
#include <cstdio>

namespace tavor1 {

namespace {

// The source a run-time error has before the document service adds its own
// name: the program's.
constexpr const char* kProgramSource = "Tavor1";

// The run-time error numbers and texts the program has always reported for
// file failures; the converter shows them to the technician.
DocumentError runtimeError(int err, const char* where)
{
    int number = 75;
    const char* text = "Path/File access error";
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        number = 76;
        text = "Path not found";
        break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
        number = 70;
        text = "Permission denied";
        break;
    case ENOSPC:
        number = 61;
        text = "Disk full";
        break;
    case EFBIG:
        number = 7;
        text = "Out of memory";
        break;
    case EIO:
        number = 57;
        text = "Device I/O error";
        break;
    default:
        break;
    }
    return DocumentError(number, std::string(kProgramSource) + " in " + where + ":0", text);
}

} // namespace

DocumentError::DocumentError(int number, std::string source, std::string description)
    : std::runtime_error(description)
    , m_number(number)
    , m_source(std::move(source))
    , m_description(std::move(description))
{
}

Document readDocument(const std::string& path)
{
    if (!fileExists(path))
        throw DocumentError(-1, "Tools.ReadDocument", "FileInput: " + path + " Not Exists!");
    errno = 0;
    std::FILE* f = openFile(path, "rb");
    if (!f)
        throw runtimeError(errno, "Tools.ReadDocument");
    std::fclose(f);
    const auto bytes = readFileBytes(path);
    if (!bytes)
        throw runtimeError(errno ? errno : EFBIG, "Tools.ReadDocument");

    Document lines;
    const std::string& b = *bytes;
    std::size_t start = 0;
    for (std::size_t i = 0; i < b.size(); ++i) {
        if (b[i] != '\r' && b[i] != '\n')
            continue;
        lines.push_back(b.substr(start, i - start));
        if (b[i] == '\r' && i + 1 < b.size() && b[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < b.size())
        lines.push_back(b.substr(start));
    return lines;
}

void writeDocument(const std::string& path, const Document& lines, bool append)
{
    std::string bytes;
    for (const std::string& line : lines)
        bytes.append(line).append("\r\n");
    errno = 0;
    std::FILE* f = openFile(path, append ? "ab" : "wb");
    if (!f) {
        // Windows refuses a folder with EACCES, which would read as a
        // permission problem; it has always been reported as an access error.
        const int err = errno;
        throw runtimeError(isDirectory(path) ? EISDIR : err, "Tools.WriteDocument");
    }
    const std::size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
    int err = written == bytes.size() ? 0 : errno;
    if (std::fclose(f) != 0 && !err)
        err = errno ? errno : EIO;
    if (err || written != bytes.size())
        throw runtimeError(err ? err : EIO, "Tools.WriteDocument");
}

} // namespace tavor1

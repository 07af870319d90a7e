#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace tavor1 {

// The two file operations whose failure changes what the host is told: the
// delete of a go signal or a request, and the write of a result file. Kept
// behind this interface so that a test can make them fail the way an
// antivirus scanner or a read-only moment of the data directory does.
class FileOps {
public:
    virtual ~FileOps() = default;
    // removeFile: true when the file was there and is gone.
    virtual bool remove(const std::string& path, std::error_code& error) const;
    // replaceFileBytes: written, flushed and renamed into place.
    virtual bool replace(const std::string& path, std::string_view bytes, std::error_code& error) const;
};

// The file system itself.
const FileOps& systemFileOps();

} // namespace tavor1

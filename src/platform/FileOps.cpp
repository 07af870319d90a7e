#include "platform/FileOps.h"

#include "platform/ByteFiles.h"

namespace tavor1 {

bool FileOps::remove(const std::string& path, std::error_code& error) const
{
    return removeFile(path, error);
}

bool FileOps::replace(const std::string& path, std::string_view bytes, std::error_code& error) const
{
    return replaceFileBytes(path, bytes, error);
}

const FileOps& systemFileOps()
{
    static const FileOps ops;
    return ops;
}

} // namespace tavor1

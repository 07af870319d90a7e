#include "exchange/LogFile.h"

#include "platform/ByteFiles.h"

#include <cstdio>

namespace tavor1 {

LogFile::LogFile(std::string dataDir, const Clock& clock)
    : m_dataDir(std::move(dataDir))
    , m_clock(clock)
{
}

std::string LogFile::path() const
{
    return joinPath(m_dataDir, "LOGFILE.TXT");
}

std::string LogFile::line(const LocalDateTime& t, std::string_view text)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d/%04d %02d:%02d:%02d ", t.day, t.month, t.year, t.hour, t.minute,
                  t.second);
    return std::string(stamp).append(text);
}

void LogFile::append(std::string_view text) const
{
    appendFileBytes(path(), line(m_clock.now(), text) + "\r\n");
}

} // namespace tavor1

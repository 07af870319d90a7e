#include "exchange/LogFile.h"

#include "platform/ByteFiles.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace tavor1 {

LogFile::LogFile(std::string dataDir, const Clock& clock, LogRotation rotation)
    : m_dataDir(std::move(dataDir))
    , m_clock(clock)
    , m_rotation(rotation)
{
}

void LogFile::rotateIfFull() const
{
    std::error_code error;
    const std::string current = path();
    const auto size = std::filesystem::file_size(current, error);
    if (error || size < m_rotation.maxBytes)
        return;
    const auto old = [this](int n) { return joinPath(m_dataDir, "LOGFILE." + std::to_string(n) + ".TXT"); };
    if (m_rotation.kept <= 0) {
        removeFile(current);
        return;
    }
    removeFile(old(m_rotation.kept));
    for (int n = m_rotation.kept - 1; n >= 1; --n)
        std::filesystem::rename(old(n), old(n + 1), error);
    std::filesystem::rename(current, old(1), error);
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
    rotateIfFull();
    appendFileBytes(path(), line(m_clock.now(), text) + "\r\n");
}

} // namespace tavor1

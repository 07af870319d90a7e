#include "exchange/TraceFile.h"

#include "platform/ByteFiles.h"
#include "platform/NativePath.h"

namespace tavor1 {

TraceFile::TraceFile(std::string dataDir, const Clock& clock, const Options& options)
    : m_dataDir(std::move(dataDir))
    , m_clock(clock)
    , m_options(options)
{
}

TraceFile::~TraceFile()
{
    close();
}

bool TraceFile::open()
{
    close();
    if (!m_options.chbTrace)
        return false;
    const LocalDateTime t = m_clock.now();
    char month[64];
    std::snprintf(month, sizeof month, "TRACE_%04d%02d", t.year, t.month);
    char name[96];
    std::snprintf(name, sizeof name, "TRACE_%04d%02d%02d_%02d%02d%02d.TXT", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    std::string folder = joinPath(m_dataDir, month);
    if (!makeDirectory(folder))
        folder = m_dataDir;
    m_path = joinPath(folder, name);
    m_file = openFile(m_path, "wb");
    return m_file != nullptr;
}

void TraceFile::close()
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

bool TraceFile::isTracing() const
{
    return m_options.chbTrace && m_file != nullptr;
}

void TraceFile::writeLine(const std::string& line)
{
    if (!isTracing())
        return;
    std::fwrite(line.data(), 1, line.size(), m_file);
    std::fwrite("\r\n", 1, 2, m_file);
    std::fflush(m_file);
}

} // namespace tavor1

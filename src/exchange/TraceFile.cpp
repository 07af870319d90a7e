#include "exchange/TraceFile.h"

#include "platform/ByteFiles.h"
#include "platform/NativePath.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace tavor1 {

namespace fs = std::filesystem;

namespace {

// TRACE_YYYYMMDD_hhmmss.TXT: the name orders the traces by time, whichever
// month's folder holds them.
bool isTraceName(const std::string& name)
{
    return name.size() == 25 && name.rfind("TRACE_", 0) == 0 && name.compare(21, 4, ".TXT") == 0;
}

bool isMonthFolderName(const std::string& name)
{
    return name.size() == 12 && name.rfind("TRACE_", 0) == 0;
}

} // namespace

TraceFile::TraceFile(std::string dataDir, const Clock& clock, const Options& options, TraceLimits limits)
    : m_dataDir(std::move(dataDir))
    , m_clock(clock)
    , m_options(options)
    , m_limits(limits)
{
}

void TraceFile::pruneOldTraces() const
{
    struct Trace {
        std::string name;
        fs::path path;
        std::uintmax_t size;
    };
    std::vector<Trace> traces;
    std::vector<fs::path> folders;
    std::uintmax_t total = 0;
    std::error_code error;
    const auto collect = [&](const fs::path& dir) {
        for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
            const std::string name = it->path().filename().string();
            std::error_code sizeError;
            if (isTraceName(name) && it->is_regular_file(sizeError)) {
                const auto size = it->file_size(sizeError);
                if (!sizeError) {
                    traces.push_back({name, it->path(), size});
                    total += size;
                }
            }
        }
        error.clear();
    };
    const fs::path dataDir = nativePath(m_dataDir);
    collect(dataDir);
    for (fs::directory_iterator it(dataDir, error), end; !error && it != end; it.increment(error)) {
        std::error_code kindError;
        if (isMonthFolderName(it->path().filename().string()) && it->is_directory(kindError)) {
            folders.push_back(it->path());
            collect(it->path());
        }
    }
    if (total <= m_limits.totalBytes)
        return;
    std::sort(traces.begin(), traces.end(), [](const Trace& a, const Trace& b) { return a.name < b.name; });
    for (const Trace& trace : traces) {
        if (total <= m_limits.totalBytes)
            break;
        std::error_code removeError;
        if (fs::remove(trace.path, removeError))
            total -= trace.size;
    }
    // Month folders left empty go too (remove refuses a folder that is not).
    for (const fs::path& folder : folders) {
        std::error_code removeError;
        fs::remove(folder, removeError);
    }
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
    pruneOldTraces();
    std::string folder = joinPath(m_dataDir, month);
    if (!makeDirectory(folder))
        folder = m_dataDir;
    m_path = joinPath(folder, name);
    m_file = openFile(m_path, "wb");
    m_written = 0;
    m_cut = false;
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
    if (!isTracing() || m_cut)
        return;
    if (m_written + line.size() + 2 > m_limits.fileBytes) {
        static const char kCut[] = "... TRACE INTERROTTA: raggiunta la dimensione massima\r\n";
        std::fwrite(kCut, 1, sizeof kCut - 1, m_file);
        std::fflush(m_file);
        m_cut = true;
        return;
    }
    std::fwrite(line.data(), 1, line.size(), m_file);
    std::fwrite("\r\n", 1, 2, m_file);
    std::fflush(m_file);
    m_written += line.size() + 2;
}

} // namespace tavor1

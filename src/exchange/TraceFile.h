#pragma once

#include "platform/Clock.h"
#include "platform/Sinks.h"
#include "settings/Options.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace tavor1 {

// The communication trace of one job: DataDir/TRACE_YYYYMM/TRACE_YYYYMMDD_hhmmss.TXT.
// It is the only file that stays open across the waits of a job. Lines are
// written only while chbTrace is ticked (read at each line, as the window's
// check box is) and a file is open.
//
// Traces of a driver that runs for years stay bounded: one trace stops at
// fileBytes (a paper-end wait left for a weekend would grow it without end),
// and opening a new one first removes the oldest traces until all of them
// together take at most totalBytes.
struct TraceLimits {
    std::uintmax_t fileBytes = 8 * 1024 * 1024;
    std::uintmax_t totalBytes = 128 * 1024 * 1024;
};

class TraceFile final : public TraceSink {
public:
    TraceFile(std::string dataDir, const Clock& clock, const Options& options, TraceLimits limits = {});
    ~TraceFile() override;
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // Opens a new trace (closing any open one) when chbTrace is ticked. When
    // the month's folder cannot be made, the file goes into the data
    // directory itself. Two jobs in the same second share a name; the second
    // truncates the first. Returns whether a file is open.
    bool open();
    void close();
    bool isOpen() const { return m_file != nullptr; }
    // Full path of the open (or last) trace file; empty before the first.
    const std::string& path() const { return m_path; }

    bool isTracing() const override;
    // Writes the line and CR LF, flushed at once so that a trace survives a
    // crash of the driver in the middle of a job.
    void writeLine(const std::string& line) override;

private:
    void pruneOldTraces() const;

    std::string m_dataDir;
    const Clock& m_clock;
    const Options& m_options;
    TraceLimits m_limits;
    std::FILE* m_file = nullptr;
    std::string m_path;
    std::uintmax_t m_written = 0;
    bool m_cut = false;
};

} // namespace tavor1

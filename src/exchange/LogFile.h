#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tavor1 {

// LOGFILE.TXT in the data directory: one line per failed delete of an
// exchange file, appended and closed at once so that the file is never held
// open while the host works in the same directory.
//
// A driver that runs for years must not fill the disk: past maxBytes the
// file becomes LOGFILE.1.TXT (the older ones shift to .2, .3, ...) and a new
// one starts; `kept` old files stay.
struct LogRotation {
    std::uintmax_t maxBytes = 1024 * 1024;
    int kept = 3;
};

class LogFile {
public:
    LogFile(std::string dataDir, const Clock& clock, LogRotation rotation = {});

    // Appends date, time and text as one CR LF line. A failure is ignored:
    // the log must never stop the procedure that writes it.
    void append(std::string_view text) const;

    std::string path() const;

    // "dd/MM/yyyy HH:mm:ss " + text, without the line end. The date and time
    // forms are fixed to the Italian ones, whatever the machine's locale.
    static std::string line(const LocalDateTime& t, std::string_view text);

private:
    void rotateIfFull() const;

    std::string m_dataDir;
    const Clock& m_clock;
    LogRotation m_rotation;
};

} // namespace tavor1

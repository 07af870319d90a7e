#pragma once

#include "platform/Sinks.h"

#include <cstdio>
#include <string>

namespace tavor1 {

// How grave a headless line is.
enum class LogLevel { Error, Warning, Notice, Info };

// One headless line on standard error with its level. Under systemd (its
// journal stream is standard error) the line starts with the syslog priority,
// "<3>" for an error, which journald takes as the entry's priority and strips;
// on a terminal it reads "tavor1: error: ...". text is Windows-1252 and is
// shown as UTF-8.
void headlessLog(LogLevel level, const std::string& text);

// The line as written, for a given destination.
std::string headlessLine(LogLevel level, const std::string& text, bool toJournal);

// Headless mode: what the window would show in a message box becomes one
// error line on standard error, so that nothing waits for a click.
class StderrMessageSink final : public MessageSink {
public:
    void showMessage(const std::string& text) override;
};

} // namespace tavor1

#include "main/StderrMessageSink.h"

#include "platform/Cp1252.h"

#include <cstdlib>

namespace tavor1 {

std::string headlessLine(LogLevel level, const std::string& text, bool toJournal)
{
    static const char* const kPriority[] = {"<3>", "<4>", "<5>", "<6>"};
    static const char* const kWord[] = {"error", "warning", "notice", "info"};
    const auto index = static_cast<std::size_t>(level);
    if (toJournal)
        return kPriority[index] + ("tavor1: " + cp1252ToUtf8(text)) + "\n";
    return "tavor1: " + std::string(kWord[index]) + ": " + cp1252ToUtf8(text) + "\n";
}

void headlessLog(LogLevel level, const std::string& text)
{
    // systemd sets JOURNAL_STREAM when standard error is the journal.
    static const bool toJournal = std::getenv("JOURNAL_STREAM") != nullptr;
    const std::string line = headlessLine(level, text, toJournal);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void StderrMessageSink::showMessage(const std::string& text)
{
    headlessLog(LogLevel::Error, text);
}

} // namespace tavor1

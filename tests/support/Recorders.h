#pragma once

// Sinks that keep what they are given, and a readable dump of command lists
// for assertion messages.

#include "platform/Sinks.h"

#include <string>
#include <vector>

namespace tavor1::test {

class RecordingMessages final : public MessageSink {
public:
    void showMessage(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

class RecordingTrace final : public TraceSink {
public:
    bool isTracing() const override { return true; }
    void writeLine(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

// One line per entry, for attaching a command list to a failed assertion.
inline std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

} // namespace tavor1::test

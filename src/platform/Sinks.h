#pragma once

#include <string>

namespace tavor1 {

// Where the texts go that the window shows in a modal message box. In window
// mode a message box; in headless mode a log line on standard error. Texts are
// Windows-1252 bytes, as the rest of the program's texts.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const std::string& text) = 0;
};

// The communication trace of the running job. A writer calls writeLine only
// with a complete line (its own time stamp in front, no line end); the sink
// drops it when tracing is off or no trace file is open.
class TraceSink {
public:
    virtual ~TraceSink() = default;
    virtual bool isTracing() const = 0;
    virtual void writeLine(const std::string& line) = 0;
};

class NullMessageSink final : public MessageSink {
public:
    void showMessage(const std::string&) override {}
};

class NullTraceSink final : public TraceSink {
public:
    bool isTracing() const override { return false; }
    void writeLine(const std::string&) override {}
};

} // namespace tavor1

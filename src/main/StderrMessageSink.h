#pragma once

#include "platform/Sinks.h"

#include <cstdio>

namespace tavor1 {

// Headless mode: what the window would show in a message box becomes one
// line on standard error, so that nothing waits for a click.
class StderrMessageSink final : public MessageSink {
public:
    void showMessage(const std::string& text) override;
};

} // namespace tavor1

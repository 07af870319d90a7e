#include "main/StderrMessageSink.h"

#include "platform/Cp1252.h"

namespace tavor1 {

void StderrMessageSink::showMessage(const std::string& text)
{
    const std::string line = "tavor1: " + cp1252ToUtf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace tavor1

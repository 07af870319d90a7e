#include "ScriptedRegister.h"

#include <cstdio>

namespace tavor1::test {

namespace {
bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}
} // namespace

ExchangeResult ScriptedRegister::TrasmettiStringa(const std::string& command)
{
    sent.push_back(command);
    m_error.clear();
    if (onSend)
        onSend(command);
    if (!connected)
        return ExchangeResult::SocketFailure;
    for (auto& [prefix, queue] : m_script) {
        if (queue.empty() || !startsWith(command, prefix))
            continue;
        const ScriptedReply r = queue.front();
        queue.pop_front();
        if (r.executed)
            defaultReply(command);
        if (r.result == codeNumber(ExchangeResult::SocketFailure))
            connected = false;
        if (!r.keepData)
            m_reply = r.data;
        m_error = r.error;
        return codeFromNumber<ExchangeResult>(r.result);
    }
    m_reply = defaultReply(command);
    return ExchangeResult::Accepted;
}

std::string ScriptedRegister::defaultReply(const std::string& command)
{
    char buffer[128];
    if (startsWith(command, "3011")) {
        ++receiptNumber;
        return "3011";
    }
    if (startsWith(command, "1004")) {
        std::snprintf(buffer, sizeof buffer, "1004%04d%09lld", receiptNumber, 123456789LL);
        std::string reply = buffer;
        reply.resize(92, '0');
        return reply;
    }
    if (startsWith(command, "1104")) {
        std::snprintf(buffer, sizeof buffer, "1104%04d", closings);
        return buffer;
    }
    if (startsWith(command, "1001"))
        return clockReply;
    if (startsWith(command, "1003")) {
        std::snprintf(buffer, sizeof buffer, "%09lld", subtotal);
        std::string reply = "1003";
        reply.resize(41, '0');
        return reply + buffer;
    }
    if (startsWith(command, "1009"))
        return "100900";
    return command.substr(0, 4);
}

bool ScriptedRegister::connectAndWait()
{
    ++reconnects;
    if (reconnectWorks)
        connected = true;
    return reconnectWorks;
}

std::vector<std::string> ScriptedRegister::documentCommands() const
{
    std::vector<std::string> out;
    for (const std::string& c : sent)
        if (c != "1004" && c != "1104" && c != "1001")
            out.push_back(c);
    return out;
}

int ScriptedRegister::count(const std::string& command) const
{
    int n = 0;
    for (const std::string& c : sent)
        n += c == command;
    return n;
}

} // namespace tavor1::test

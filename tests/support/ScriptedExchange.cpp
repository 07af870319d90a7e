#include "support/ScriptedExchange.h"

#include "platform/NumberText.h"

#include <algorithm>

namespace tavor1::test {

using namespace protocol;

namespace {
bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}
} // namespace

void ScriptedExchange::script(const std::string& prefix, ScriptedReply reply)
{
    for (auto& [p, queue] : m_script)
        if (p == prefix) {
            queue.push_back(std::move(reply));
            return;
        }
    m_script.push_back({prefix, {std::move(reply)}});
}

void ScriptedExchange::answer(const std::string& prefix, ScriptedReply reply)
{
    for (auto& [p, standing] : m_answers)
        if (p == prefix) {
            standing = std::move(reply);
            return;
        }
    m_answers.push_back({prefix, std::move(reply)});
}

void ScriptedExchange::dropOn(const std::string& prefix, bool executed)
{
    ScriptedReply reply(ExchangeResult::SocketFailure);
    reply.drops = true;
    reply.executed = executed;
    script(prefix, reply);
}

ExchangeResult ScriptedExchange::transmitCommand(const std::string& command)
{
    sent.push_back(command);
    m_error.clear();
    if (onSend)
        onSend(command);
    if (!connected)
        return ExchangeResult::SocketFailure;

    ScriptedReply reply;
    bool scripted = false;
    for (auto& [prefix, queue] : m_script)
        if (!queue.empty() && startsWith(command, prefix)) {
            reply = queue.front();
            queue.pop_front();
            scripted = true;
            break;
        }
    if (!scripted) {
        // The longest prefix wins, so that one command can be singled out
        // from a standing answer for all.
        const std::pair<std::string, ScriptedReply>* best = nullptr;
        for (const auto& entry : m_answers)
            if (startsWith(command, entry.first) && (!best || entry.first.size() > best->first.size()))
                best = &entry;
        if (best) {
            reply = best->second;
            scripted = true;
        }
    }
    if (!scripted) {
        payload = registerReply(command);
        return ExchangeResult::Accepted;
    }
    if (reply.executed)
        registerReply(command);
    if (reply.drops)
        connected = false;
    if (!reply.payload.empty())
        payload = reply.payload;
    m_error = reply.registerError;
    return reply.result;
}

std::string ScriptedExchange::registerReply(const std::string& command)
{
    if (startsWith(command, msg::CloseReceipt)) {
        ++receiptNumber;
        return msg::CloseReceipt;
    }
    if (startsWith(command, msg::DayTotals)) {
        std::string reply = msg::DayTotals + zeroPad(receiptNumber, 4) + zeroPad(123456789, 9);
        reply.resize(92, '0');
        return reply;
    }
    if (startsWith(command, msg::FiscalClosings))
        return msg::FiscalClosings + zeroPad(closings, 4);
    if (startsWith(command, "1001"))
        return "1001051226143000";
    if (startsWith(command, msg::ReceiptState)) // the running subtotal at 42..50
        return msg::ReceiptState + std::string(37, '0') + zeroPad(subtotal, 9);
    if (startsWith(command, msg::Status))
        return "100900";
    if (startsWith(command, msg::RegisterState))
        return "101100";
    return command.substr(0, 4);
}

std::vector<std::string> ScriptedExchange::documentCommands() const
{
    std::vector<std::string> out;
    for (const std::string& c : sent)
        if (c != msg::DayTotals && c != msg::FiscalClosings && c != "1001")
            out.push_back(c);
    return out;
}

int ScriptedExchange::count(const std::string& command) const
{
    return static_cast<int>(std::count(sent.begin(), sent.end(), command));
}

} // namespace tavor1::test

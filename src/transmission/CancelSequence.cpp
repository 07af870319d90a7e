#include "transmission/CancelSequence.h"

#include "link/RegisterExchange.h"
#include "protocol/Protocol.h"

namespace tavor1 {

namespace {

// "7007" and 40 blanks: an empty customer display.
constexpr const char* kClearDisplay = "7007                                        ";

std::string resultWords(ExchangeResult result, const std::string& registerError)
{
    if (result == ExchangeResult::Accepted)
        return "accettato";
    if (result == ExchangeResult::NoReply)
        return "nessuna risposta";
    if (result == ExchangeResult::SocketFailure)
        return "connessione persa";
    return "rifiutato (ERR " + registerError + ", codice " + codeText(result) + ")";
}

} // namespace

std::vector<CancelStep> runCancelSequence(RegisterExchange& exchange)
{
    std::vector<CancelStep> steps;
    for (const char* command :
         {kClearDisplay, protocol::msg::CancelLine, protocol::msg::CloseReceipt, protocol::msg::EndOfDocument}) {
        CancelStep step;
        step.command = command;
        const std::string before = exchange.replyData();
        step.result = exchange.transmitCommand(command);
        // The exchange keeps the previous payload when nothing came back.
        if (step.result == ExchangeResult::Accepted || exchange.replyData() != before)
            step.reply = exchange.replyData();
        if (isRegisterRefusal(step.result))
            step.reply = "ERR" + exchange.lastRegisterError();
        steps.push_back(std::move(step));
    }
    return steps;
}

std::string cancelReport(const std::vector<CancelStep>& steps)
{
    std::string out;
    for (const CancelStep& step : steps) {
        std::string registerError;
        if (step.reply.rfind("ERR", 0) == 0)
            registerError = step.reply.substr(3);
        out += step.command.substr(0, 4) + ": " + resultWords(step.result, registerError);
        if (!step.reply.empty() && step.result == ExchangeResult::Accepted)
            out += " [" + step.reply + "]";
        out += "\r\n";
    }
    return out;
}

} // namespace tavor1

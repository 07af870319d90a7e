#pragma once

// The register as the code above the link sees it, answering from a script:
// every exchange the tests of the transmission, the payment slip, the queries
// and the job need, without a socket.

#include "link/RegisterExchange.h"
#include "platform/ResultCode.h"
#include "protocol/ExchangeResult.h"
#include "protocol/Protocol.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tavor1::test {

struct ScriptedReply {
    ScriptedReply(ExchangeResult r = ExchangeResult::Accepted, std::string p = {}, std::string e = {})
        : result(r)
        , payload(std::move(p))
        , registerError(std::move(e))
    {
    }
    // A reply given by the number the link would return.
    ScriptedReply(int r, std::string p = {}, std::string e = {})
        : ScriptedReply(codeFromNumber<ExchangeResult>(static_cast<std::int16_t>(r)), std::move(p), std::move(e))
    {
    }
    ExchangeResult result;
    // The reply's payload; empty: none arrived, replyData keeps the last one,
    // as the link does.
    std::string payload;
    std::string registerError; // lastRegisterError
    // The connection goes down instead of the reply; executed: the register
    // carried the command out before (the reply is what was lost).
    bool drops = false;
    bool executed = false;
};

class ScriptedExchange : public RegisterExchange {
public:
    ExchangeResult transmitCommand(const std::string& command) override;
    const std::string& replyData() const override { return payload; }
    const std::string& lastRegisterError() const override { return m_error; }

    // The next command that begins with prefix gets reply; replies queued for
    // one prefix are given in order, ahead of any standing answer.
    void script(const std::string& prefix, ScriptedReply reply);
    // Every command that begins with prefix gets reply, until answered anew.
    // An empty prefix answers every command.
    void answer(const std::string& prefix, ScriptedReply reply);
    // The connection is lost on the next command that begins with prefix.
    void dropOn(const std::string& prefix, bool executed);

    // Commands sent, in order, the counter queries included.
    std::vector<std::string> sent;
    // The commands sent that are not the counter and clock queries around a
    // document.
    std::vector<std::string> documentCommands() const;
    int count(const std::string& command) const;

    // Payload of the last reply that carried one (what replyData returns).
    std::string payload;
    // While false every command fails with SocketFailure.
    bool connected = true;
    // Called for every command before it is answered.
    std::function<void(const std::string& command)> onSend;

    // What an unscripted command is answered with, the way a register in good
    // order answers it: the receipt counter moves on each "3011".
    int receiptNumber = 41;
    int closings = 122;
    long long subtotal = 1250;

private:
    std::string registerReply(const std::string& command);

    std::vector<std::pair<std::string, std::deque<ScriptedReply>>> m_script;
    std::vector<std::pair<std::string, ScriptedReply>> m_answers;
    std::string m_error;
};

} // namespace tavor1::test

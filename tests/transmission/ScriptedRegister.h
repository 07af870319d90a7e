#pragma once

// A register that answers from a script, for exact control of every reply the
// transmission sees. Unscripted commands are accepted the way the real
// register accepts them; "3011" closes the receipt and moves its number.

#include "link/RegisterExchange.h"
#include "transmission/Transmission.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tavor1::test {

struct ScriptedReply {
    ScriptedReply(std::int16_t r, std::string d = {}, std::string e = {}, bool keep = false, bool done = false)
        : result(r), data(std::move(d)), error(std::move(e)), keepData(keep), executed(done)
    {
    }
    std::int16_t result = 0;
    std::string data;          // the new ReplyData; ignored when keepData
    std::string error;         // LastRegisterError
    bool keepData = false;     // no reply came: ReplyData keeps the last payload
    bool executed = false;     // the register carried the command out (a lost reply)
};

class ScriptedRegister final : public RegisterExchange, public LinkControl {
public:
    ExchangeResult TrasmettiStringa(const std::string& command) override;
    const std::string& ReplyData() const override { return m_reply; }
    const std::string& LastRegisterError() const override { return m_error; }

    bool connectAndWait() override;
    bool isConnected() const override { return connected; }
    bool isBusy() const override { return busy; }

    // Replies for the next commands that begin with prefix, in order.
    void script(const std::string& prefix, ScriptedReply reply) { m_script[prefix].push_back(std::move(reply)); }
    // The connection goes down on the next command that begins with prefix;
    // executed: the register received and carried it out before.
    void dropOn(const std::string& prefix, bool executed)
    {
        script(prefix, ScriptedReply{-20, {}, {}, true, executed});
    }
    // Commands sent, in order, the counter queries included.
    std::vector<std::string> sent;
    // The commands sent that are not the transmission's own queries.
    std::vector<std::string> documentCommands() const;
    int count(const std::string& command) const;

    bool connected = true;
    bool reconnectWorks = true;
    bool busy = false;
    int reconnects = 0;
    int receiptNumber = 41;
    int closings = 122;
    long long subtotal = 1250;
    std::string clockReply = "1001051226143000";
    // Called for every command before it is answered.
    std::function<void(const std::string& command)> onSend;

private:
    std::string defaultReply(const std::string& command);

    std::map<std::string, std::deque<ScriptedReply>> m_script;
    std::string m_reply;
    std::string m_error;
};

} // namespace tavor1::test

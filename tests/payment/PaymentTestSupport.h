#pragma once

#include "link/RegisterExchange.h"
#include "support/EventLoop.h"
#include "support/Recorders.h"

#include <string>
#include <vector>

namespace tavor1::test {

// Stands in for the register: records every command and answers each with
// the same result.
class ScriptedExchange final : public RegisterExchange {
public:
    explicit ScriptedExchange(std::int16_t answer = 0) : m_answer(answer) {}
    ExchangeResult TrasmettiStringa(const std::string& command) override
    {
        commands.push_back(command);
        return codeFromNumber<ExchangeResult>(m_answer);
    }
    const std::string& ReplyData() const override { return m_empty; }
    const std::string& LastRegisterError() const override { return m_empty; }

    std::vector<std::string> commands;

private:
    std::int16_t m_answer;
    std::string m_empty;
};

} // namespace tavor1::test

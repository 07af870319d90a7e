#pragma once

#include "link/RegisterExchange.h"
#include "platform/Sinks.h"

#include <QCoreApplication>

#include <string>
#include <vector>

namespace tavor1::test {

// The network code needs an application object; gtest's main makes none.
inline void ensureCoreApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "payment_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

class RecordingMessages final : public MessageSink {
public:
    void showMessage(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

// Stands in for the register: records every command and answers each with
// the same result.
class ScriptedExchange final : public RegisterExchange {
public:
    explicit ScriptedExchange(std::int16_t answer = 0) : m_answer(answer) {}
    std::int16_t TrasmettiStringa(const std::string& command) override
    {
        commands.push_back(command);
        return m_answer;
    }
    const std::string& ReplyData() const override { return m_empty; }
    const std::string& LastRegisterError() const override { return m_empty; }

    std::vector<std::string> commands;

private:
    std::int16_t m_answer;
    std::string m_empty;
};

} // namespace tavor1::test

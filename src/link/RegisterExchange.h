#pragma once

#include "protocol/ExchangeResult.h"

#include <cstdint>
#include <string>

namespace tavor1 {

// One framed command/reply exchange with the register. Everything above the
// link (transmission, SR_OUT writer, payment slip, queries) talks to the
// register only through this interface, so that tests can stand a script in
// for the register.
class RegisterExchange {
public:
    virtual ~RegisterExchange() = default;

    // Sends one register command (message number and payload, unframed) and
    // waits for its reply: accepted, no usable reply, a socket failure, or the
    // register's refusal.
    virtual ExchangeResult transmitCommand(const std::string& command) = 0;

    // Payload of the last non-empty reply.
    virtual const std::string& replyData() const = 0;
    // Two-character code of the last "ERR" reply, empty when none.
    virtual const std::string& lastRegisterError() const = 0;
};

} // namespace tavor1

#pragma once

// The pure side of the framed exchange: building a frame, recognising the end
// of a reply, cutting out its payload and classifying it. No Qt and no state,
// so that every rule can be unit-tested and fuzzed on its own.

#include "protocol/ExchangeResult.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavor1 {

// Sum of the byte values (0..255) of the body, modulo 100.
int frameChecksum(std::string_view body);

// The sequence number that the next frame carries: 1, 2, ... 97, 0, 1, ...
int nextSequenceNumber(int current);

// Sequence + station + command: the text the checksum covers.
std::string frameBody(int sequence, std::string_view command);

// STX, body, two checksum digits, ETX. Empty when the body would be longer
// than the register accepts (kMaxBodyLength); such a command is never sent.
std::string buildFrame(int sequence, std::string_view command);

// A reply ends the wait as soon as it is a lone NAK, or holds an ETX or an ACK.
bool isReplyComplete(std::string_view received);

// The payload of a whole reply: with a ':' anywhere the first two and last
// three bytes are dropped, otherwise the first five and last three (ACK, STX,
// sequence and station in front; checksum and ETX behind). No value when the
// reply is too short for its rule.
std::optional<std::string> cutReplyPayload(std::string_view reply);

// The ExchangeResult of a register "ERR" code.
ExchangeResult resultForRegisterError(std::string_view code);

struct ReplyVerdict {
    ExchangeResult result = ExchangeResult::NoReply;
    // The two characters after "ERR", empty when the payload holds none.
    std::string registerError;
};

// Classifies the payload of this exchange's reply against the command that
// was sent: "7101" state 2, then "ERR" codes, then the echo of the command's
// first four characters.
ReplyVerdict classifyPayload(std::string_view command, std::string_view payload);

} // namespace tavor1

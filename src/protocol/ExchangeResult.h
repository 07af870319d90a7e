#pragma once

#include "platform/ResultCode.h"

#include <cstdint>

namespace tavor1 {

// The outcome of one framed exchange with the register: accepted, no usable
// reply, a lost connection, or the register's refusal ("ERR" and its code).
enum class ExchangeResult : std::int16_t {
    Accepted = 0,
    NoReply = 1, // time-out, NAK, empty, short or mismatched payload
    SocketFailure = -20, // connection not open, faulted or lost
    DocumentNotModifiable = -30, // "7101" answered with state "2"
    PrintBufferFull = -2, // ERR 09
    RtDocumentNotFound = -31, // ERR 12
    PaperEnd = -4, // ERR 16
    NoAnswer = -8, // ERR 20
    ReceiptOpen = -7, // ERR 21 and 98
    NegativeTotal = -10, // ERR 23
    JournalExhausted = -11, // ERR 30
    JournalNearlyFull = -12, // ERR 31
    CoverOpen = -5, // ERR 37
    FiscalMemoryFull = -3, // ERR 51
    RegisterOwnError = -99, // ERR 99, the register has a text of its own
    NegativeVat = -29, // ERR 29
    OtherRegisterError = -1, // any other ERR code
};

// A refusal by the register itself: an "ERR" reply, or "7101" state 2.
constexpr bool isRegisterRefusal(ExchangeResult result)
{
    return codeNumber(result) < 0 && result != ExchangeResult::SocketFailure;
}

} // namespace tavor1

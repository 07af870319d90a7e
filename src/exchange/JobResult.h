#pragma once

#include "platform/ResultCode.h"

#include <cstdint>

namespace tavor1 {

// The result of a job as the host, the journal and the status line know it:
// 0 success, negative failures. The journal stores these numbers and reads
// back those older drivers wrote: never change one.
enum class JobResult : std::int16_t {
    Ok = 0,
    NegativeTotal = -1,
    ReceiptOpen = -2, // also: the status of "1011" was not "00"
    CoverOpen = -3,
    NoAnswer = -4,
    RegisterError = -5,
    JournalExhausted = -7,
    JournalNearlyFull = -8,
    FiscalMemoryFull = -9,
    PrintBufferFull = -10,
    RtDocumentNotFound = -12,
    Network = -20, // no connection, or lost with the document unfinished
    NegativeVat = -29,
    RegisterOwnError = -99,
    RequestVanished = -100, // SR_DATI gone before the send
    ConversionFailed = -101,
    OutputUnavailable = -102,
    CancelledByOperator = -103,
    // The card payment's own results, passed on with their numbers.
    PaymentTimedOut = -200,
    PaymentServiceError = -201,
    PaymentDeclined = -202,
    PaymentUnreachable = -203,
};

} // namespace tavor1

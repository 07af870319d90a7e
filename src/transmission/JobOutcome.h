#pragma once

// The end of a job: how a transmission's SendResult becomes the job result
// that the host is told, the texts of every result, and the reporting that
// clears or keeps the job's exchange files.

#include "exchange/JobAnswer.h"
#include "exchange/JobResult.h"
#include "payment/PaymentResult.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tavor1 {

class ExchangeFiles;

// The outcome of one sendRequest.
enum class SendResult : std::int16_t {
    Complete = 0, // every command accepted (or one that lets it go on)
    PrintBufferFull = 1, // ERR 09
    ConversionFailed = 2, // no command list: nothing was sent
    RegisterNoAnswer = 3, // ERR 20
    NegativeTotal = 4, // ERR 23
    JournalExhausted = 5, // ERR 30 on the last command
    JournalNearlyFull = 6, // ERR 31 on the last command
    CoverOpen = 7, // ERR 37
    FiscalMemoryFull = 8, // ERR 51
    RegisterError = 9, // any other ERR code
    ReceiptOpen = 10, // ERR 21 or 98
    NoReply = 11, // time-out, NAK, or a reply to another command
    RtDocumentNotFound = 12, // ERR 12, or "7101" state 2
    ConnectionLost = 20, // the document was not completed on the register
    NegativeVat = 29, // ERR 29; the document was cancelled
    CancelledByOperator = 30, // "Annullla Doc" pressed during the document
    OutputUnavailable = 31, // SR_OUT could not be created: nothing was sent
    RegisterOwnError = 99, // ERR 99; the register's text was fetched
};
// The job result of a transmission's SendResult. A lost connection is
// always a failure here: sendRequest has already reconnected and asked the
// register whether the document was completed, and returns 0 when it was.
// Codes no row speaks of leave the job successful.
JobResult jobResultForSendResult(SendResult sendResult);
// The job result of a card payment the service did not approve; the payment's
// number is passed on unchanged.
JobResult JobResultForPayment(PaymentResult paymentResult);

// The text after "TAVOR1 TERMINATO : " in the status line.
std::string jobStatusText(JobResult jobResult, const std::string& registerErrorText);
// The whole status line shown at the end of a job.
std::string jobStatusLine(JobResult jobResult, const std::string& registerErrorText);
// The SR_ERR line of a failed job (the register's own code is appended by
// writeErrFile when there was one).
std::string jobErrorText(JobResult jobResult, const std::string& registerErrorText);

// What the end of a job needs besides the result.
struct JobOutcomeContext {
    ExchangeFiles* files = nullptr;
    int channel = 0;
    // Text of the register's error 99, fetched by the transmission.
    std::string registerErrorText;
    // Code of the last "ERR" reply of the job, appended to the SR_ERR line.
    std::string lastRegisterError;
    // Receives the status line ("TAVOR1 TERMINATO : ..."); the window shows
    // it in Text2 when it is visible. May be empty.
    std::function<void(const std::string& statusLine)> showStatus;
    // Called for a successful job only: the window empties its register
    // messages box Text1. May be empty.
    std::function<void()> clearRegisterMessages;
    // Writes the answer (and keeps what could not be written yet). When
    // empty, the answer is delivered to files once, and what fails is lost.
    std::function<void(JobAnswer&&)> answerHost;
};

// The answer the host is given for a job result on a channel: FINESCO for 0,
// else the SR_ERR line (with the register's own code when there was one).
JobAnswer jobAnswerFor(JobResult jobResult, int channel, const std::string& registerErrorText,
                       const std::string& lastRegisterError);

// Answers the host at the end of a job, after the connection was closed.
// With jobRunning set: result 0 removes SR_ERR, SR_DATI and SR_START and
// writes FINESCO; any other result writes the SR_ERR line, then removes
// SR_START (no FINESCO; SR_DATI stays for the host). jobRunning is cleared.
// The status line goes out in every case. The window's own state (test
// flags, poll re-arm, buttons, tray tip) is the caller's to restore.
// Without an answerHost, returns false when the answer could not be given
// whole (a file not written, or SR_START not removed).
bool reportJobOutcome(JobResult jobResult, const JobOutcomeContext& ctx, bool& jobRunning);

} // namespace tavor1

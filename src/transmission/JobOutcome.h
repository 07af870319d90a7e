#pragma once

// The end of a job: how a transmission's SendResult becomes the job result
// that the host is told, the texts of every result, and the reporting that
// clears or keeps the job's exchange files.

#include "exchange/JobAnswer.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tavor1 {

class ExchangeFiles;

// The outcome of one DoSendFile.
namespace send {
inline constexpr std::int16_t Complete = 0;            // every command accepted (or one that lets it go on)
inline constexpr std::int16_t PrintBufferFull = 1;     // ERR 09
inline constexpr std::int16_t ConversionFailed = 2;    // no command list: nothing was sent
inline constexpr std::int16_t RegisterNoAnswer = 3;    // ERR 20
inline constexpr std::int16_t NegativeTotal = 4;       // ERR 23
inline constexpr std::int16_t JournalExhausted = 5;    // ERR 30 on the last command
inline constexpr std::int16_t JournalNearlyFull = 6;   // ERR 31 on the last command
inline constexpr std::int16_t CoverOpen = 7;           // ERR 37
inline constexpr std::int16_t FiscalMemoryFull = 8;    // ERR 51
inline constexpr std::int16_t RegisterError = 9;       // any other ERR code
inline constexpr std::int16_t ReceiptOpen = 10;        // ERR 21 or 98
inline constexpr std::int16_t NoReply = 11;            // time-out, NAK, or a reply to another command
inline constexpr std::int16_t RtDocumentNotFound = 12; // ERR 12, or "7101" state 2
inline constexpr std::int16_t ConnectionLost = 20;     // the document was not completed on the register
inline constexpr std::int16_t NegativeVat = 29;        // ERR 29; the document was cancelled
inline constexpr std::int16_t CancelledByOperator = 30; // "Annullla Doc" pressed during the document
inline constexpr std::int16_t OutputUnavailable = 31;  // SR_OUT could not be created: nothing was sent
inline constexpr std::int16_t RegisterOwnError = 99;   // ERR 99; the register's text was fetched
} // namespace send

// The job result handed to the host (0 success, negative failures).
namespace job {
inline constexpr std::int16_t Ok = 0;
inline constexpr std::int16_t NegativeTotal = -1;
inline constexpr std::int16_t ReceiptOpen = -2;        // also: the status of "1011" was not "00"
inline constexpr std::int16_t CoverOpen = -3;
inline constexpr std::int16_t NoAnswer = -4;
inline constexpr std::int16_t RegisterError = -5;
inline constexpr std::int16_t JournalExhausted = -7;
inline constexpr std::int16_t JournalNearlyFull = -8;
inline constexpr std::int16_t FiscalMemoryFull = -9;
inline constexpr std::int16_t PrintBufferFull = -10;
inline constexpr std::int16_t RtDocumentNotFound = -12;
inline constexpr std::int16_t Network = -20;           // no connection, or lost with the document unfinished
inline constexpr std::int16_t NegativeVat = -29;
inline constexpr std::int16_t RegisterOwnError = -99;
inline constexpr std::int16_t RequestVanished = -100;  // SR_DATI gone before the send
inline constexpr std::int16_t ConversionFailed = -101;
inline constexpr std::int16_t OutputUnavailable = -102;
inline constexpr std::int16_t CancelledByOperator = -103;
// -200 .. -203 are the card payment's own results, passed on unchanged.
} // namespace job

// The job result of a transmission's SendResult. A lost connection (20) is
// always a failure here: DoSendFile has already reconnected and asked the
// register whether the document was completed, and returns 0 when it was.
// Codes no row speaks of leave the job successful.
std::int16_t JobResultForSendResult(std::int16_t sendResult);

// The text after "TAVOR1 TERMINATO : " in the status line.
std::string JobStatusText(std::int16_t jobResult, const std::string& registerErrorText);
// The whole status line shown at the end of a job.
std::string JobStatusLine(std::int16_t jobResult, const std::string& registerErrorText);
// The SR_ERR line of a failed job (the register's own code is appended by
// WriteErrFile when there was one).
std::string JobErrorText(std::int16_t jobResult, const std::string& registerErrorText);

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
JobAnswer JobAnswerFor(std::int16_t jobResult, int channel, const std::string& registerErrorText,
                       const std::string& lastRegisterError);

// Answers the host at the end of a job, after the connection was closed.
// With jobRunning set: result 0 removes SR_ERR, SR_DATI and SR_START and
// writes FINESCO; any other result writes the SR_ERR line, then removes
// SR_START (no FINESCO; SR_DATI stays for the host). jobRunning is cleared.
// The status line goes out in every case. The window's own state (test
// flags, poll re-arm, buttons, tray tip) is the caller's to restore.
// Without an answerHost, returns false when the answer could not be given
// whole (a file not written, or SR_START not removed).
bool ReportJobOutcome(std::int16_t jobResult, const JobOutcomeContext& ctx, bool& jobRunning);

} // namespace tavor1

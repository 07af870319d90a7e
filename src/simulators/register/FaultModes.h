#pragma once

// The ways the simulated register can be made to misbehave, and the codes it
// answers with. Tests and the command line name faults only through these.

#include <string>

namespace tavor1::regsim {

enum class FaultMode {
    ErrorReply,     // answers "ERR" + code instead of carrying the command out ("31", a warning, is carried out first)
    CustomReply,    // carries the command out but answers with the given payload instead of its own
    Nak,            // answers a lone NAK; the command is not carried out
    LoneAck,        // carries the command out, answers ACK at once and the reply frame only after delayMs
    Silence,        // answers nothing at all; the command is not carried out
    DropConnection, // closes the connection without answering; the command is not carried out
    DropAfterDoing, // carries the command out, then closes the connection: the reply is lost
};

// One scripted fault. It applies to a frame whose command begins with
// `command` (any command when empty) and, when nthFrame is set, only to the
// n-th frame received after the fault was added.
struct Fault {
    FaultMode mode = FaultMode::ErrorReply;
    std::string command;   // message prefix, e.g. "3011" or "31011"; empty: every command
    int nthFrame = 0;      // 1 = the next frame; 0 = whichever frame matches first
    int times = 1;         // matching frames it hits before it lapses; -1: never lapses
    std::string code;      // ErrorReply: the two-character register error code
    std::string text;      // ErrorReply with code 99: the register's own text ("1015"); CustomReply: the payload
    int delayMs = 0;       // LoneAck: pause between the ACK and the reply frame
};

// Error codes of the register's "ERR" replies.
namespace err {
inline constexpr const char* UnknownCommand = "01";    // a message number the register does not know
inline constexpr const char* NotNow = "02";            // the command does not fit the document state
inline constexpr const char* Malformed = "03";         // the payload does not have the command's layout
inline constexpr const char* PrintBufferFull = "09";   // too many lines in one document
inline constexpr const char* RtDocumentNotFound = "12";
inline constexpr const char* PaperEnd = "16";
inline constexpr const char* NoAnswer = "20";
inline constexpr const char* ReceiptOpen = "21";       // a fiscal receipt is open
inline constexpr const char* NegativeTotal = "23";
inline constexpr const char* NegativeVat = "29";       // a department would close negative on an RT register
inline constexpr const char* JournalExhausted = "30";
inline constexpr const char* JournalNearlyFull = "31"; // a warning: the command has been carried out
inline constexpr const char* CoverOpen = "37";
inline constexpr const char* FiscalMemoryFull = "51";
inline constexpr const char* NonFiscalOpen = "98";     // a non-fiscal document or invoice is open
inline constexpr const char* OwnError = "99";          // the text is read back with "1015"
} // namespace err

// Printer states of the "1009" reply.
namespace status {
inline constexpr const char* Ready = "00";
inline constexpr const char* PaperEnd = "01";
inline constexpr const char* CoverOpen = "02";
inline constexpr const char* PaperEndAndCoverOpen = "03";
} // namespace status

} // namespace tavor1::regsim

#pragma once

// Constants of the register's frame protocol, named once. The driver and the
// register simulator both use them by name.

#include "protocol/ExchangeResult.h"

#include <cstdint>

namespace tavor1::protocol {

inline constexpr char STX = 0x02;
inline constexpr char ETX = 0x03;
inline constexpr char ACK = 0x06;
inline constexpr char NAK = 0x15;

inline constexpr std::uint16_t kDefaultRegisterPort = 9100;

// Sequence numbers run 00..97: 98 values, not 100.
inline constexpr int kSequenceModulus = 98;
// The station id written into every frame.
inline constexpr char kStationId = '0';
// The longest body (sequence + station + command) a frame may carry.
inline constexpr int kMaxBodyLength = 255;

// Reply waits: the whole reply, and the frame that follows a lone ACK.
inline constexpr int kReplyTimeoutMs = 40000;
inline constexpr int kSecondWaitMs = 16000;

// Message numbers the driver sends (the first four characters of a command).
namespace msg {
inline constexpr const char* ReceiptState = "1003";      // running receipt; last payment at 42..50
inline constexpr const char* DayTotals = "1004";         // the day's totals and counters
inline constexpr const char* Identification = "1008";
inline constexpr const char* Status = "1009";            // "1009" + two-character status, "00" ready
inline constexpr const char* RegisterState = "1011";
inline constexpr const char* Firmware = "1013";
inline constexpr const char* FiscalClosings = "1104";    // four characters at payload position 5
inline constexpr const char* GrandTotal = "1105";        // ten characters at payload position 5
inline constexpr const char* EndOfJob = "1109";
inline constexpr const char* CloseNonFiscal = "4004";
inline constexpr const char* RegisterClass = "1214";
inline constexpr const char* RtIdentification = "1511";
inline constexpr const char* ReportDaily = "2002";
inline constexpr const char* CancelLine = "3001818Annull.transazione000000000";
inline constexpr const char* CloseReceipt = "3011";
inline constexpr const char* EndOfDocument = "3013";
inline constexpr const char* TransmissionStart = "30161";
inline constexpr const char* TransmissionEnd = "30160";
inline constexpr const char* DisplayText = "7007";
inline constexpr const char* OpenDrawer = "70081";
inline constexpr const char* Function7101 = "7101";
} // namespace msg

// The register's error reply: "ERR" followed by a two-character code, anywhere
// in the payload.
inline constexpr const char* kErrorMarker = "ERR";
// In a "7101" reply, this state right after the echoed number means the
// document referred to cannot be found or changed.
inline constexpr char k7101NotModifiable = '2';

// Socket error numbers as the driver reports them in Text2 and the trace
// ("WS_Error n." ...). The numbers are those shop technicians know from the
// register's manuals and the driver's older logs.
namespace wserr {
inline constexpr int ConnectionAborted = 10053;  // the register dropped or closed the connection
inline constexpr int ConnectionReset = 10054;
inline constexpr int TimedOut = 10060;
inline constexpr int ConnectionRefused = 10061;
inline constexpr int NetworkDown = 10050;
inline constexpr int HostNotFound = 11001;
inline constexpr int AccessDenied = 10013;
inline constexpr int NoBufferSpace = 10055;
inline constexpr int OperationNotSupported = 10045;
inline constexpr int Other = 10004;
} // namespace wserr

} // namespace tavor1::protocol

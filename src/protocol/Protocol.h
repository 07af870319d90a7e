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

// Message numbers of the commands the conversion builds. Most carry a sub-code
// and a payload behind the number (LL: a length in two digits, A9: nine-digit
// cents, D22: a 22-character text).
//
// A receipt without a payment stays open, its subtotal shown.
inline constexpr const char* ShowSubtotal = "1010";
// The reports: fiscal ("2002" resets, this only reads), departments, financial.
inline constexpr const char* ReportFiscalRead = "2003";
inline constexpr const char* ReportDepartmentsReset = "2102";
inline constexpr const char* ReportDepartmentsRead = "2103";
inline constexpr const char* ReportFinancialReset = "220202";
inline constexpr const char* ReportFinancialRead = "220302";
// + "2" surcharge or "3" discount on the subtotal [+ "22" + D22 + A9].
inline constexpr const char* SubtotalAdjustment = "3001";
// + attribute + LL + text: a line printed inside the receipt.
inline constexpr const char* ReceiptText = "3002";
inline constexpr const char* Subtotal = "3003";
// + LL + name + A9.
inline constexpr const char* Payment = "3004";
// + LL + "CREDITO" + A9: sold on credit.
inline constexpr const char* Credit = "3005";
// + four-character payment code + LL + name + A9.
inline constexpr const char* ExtendedPayment = "3007";
// + kind + LL + text: the customer's tax code, a return's reference.
inline constexpr const char* ReferenceText = "3010";
// + attribute + LL + text: a line printed after the total.
inline constexpr const char* TrailerText = "3012";
// The logo, after the total.
inline constexpr const char* PrintLogo = "3017011";
// + the customer's eight-character lottery code.
inline constexpr const char* LotteryCode = "301908";
// + type + readability + ...: bar codes and QR codes.
inline constexpr const char* BarCode = "3021";
// + kind + department (two digits) + "22" + D22 + A9: sales, returns,
// stornos and the adjustments of the last article.
inline constexpr const char* Article = "3101";
// + "1" a non-fiscal document, + "21" + A9 an invoice with its total.
inline constexpr const char* OpenNonFiscal = "4001";
inline constexpr const char* NonFiscalHeading = "4002";
// + attribute + LL + text; attribute "F": the invoice's total line.
inline constexpr const char* NonFiscalText = "4003";
inline constexpr const char* CloseInvoice = "4006";
// A copy of the last fiscal document.
inline constexpr const char* ReprintLast = "4007";
// + the lines to feed.
inline constexpr const char* PaperFeed = "7001";
// + "600000": a return on a register that is not telematic.
inline constexpr const char* ReturnReference = "7102";
// + "D" paid in or "P" paid out + A9.
inline constexpr const char* CashMovement = "7106";
// + "R" return or "A" void + issuer length + issuer + date.
inline constexpr const char* ReferenceIssuer = "7114";
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

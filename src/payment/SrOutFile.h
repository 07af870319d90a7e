#pragma once

// The lines of SR_OUT.00n that tell the host what the register printed: time
// and cash desk, date and document number, the driver's version, the
// register's firmware and totals, the card payment and the serial number.

#include "link/RegisterIdentification.h"
#include "payment/POSData.h"

#include <functional>
#include <string>
#include <string_view>

namespace tavor1 {

class Clock;
class RegisterExchange;
class TraceSink;
struct Options;
struct RegisterFacts;

// "major.minor.0.revision", as SR_OUT and the trace show it.
std::string programVersionText(const ProgramVersion& version);

// What writeSrOutFile reads besides the register.
struct SrOutContext {
    RegisterExchange* link = nullptr;
    // chbDisabTotalizzatori and chbMatricola.
    const Options* options = nullptr;
    // registerIsRT, serialNumber (Text8) and firmware.
    const RegisterFacts* facts = nullptr;
    const POSData* pos = nullptr;
    ProgramVersion version;
    TraceSink* trace = nullptr;      // null: nothing traced
    const Clock* clock = nullptr;    // null: the system clock
    // The register's number of fiscal closings (four characters) and its
    // grand-total line, each asked of the register when called.
    std::function<std::string()> readClosingCount;
    std::function<std::string()> readGrandTotal;
};

// Appends one SR_OUT line (the text and CR LF) to the file's content.
void appendSrOutLine(std::string& out, std::string_view line);

// Asks the register for its clock ("1001") and counters ("1004") and appends
// the summary to out. Returns true when the "1001" exchange was accepted with
// a reply of at least 14 characters: a register that refuses "1001" leaves out
// untouched, one that refuses "1004" leaves the TIME line only.
bool writeSrOutFile(std::string& out, const SrOutContext& ctx);

// The card-payment block: a line of one blank, "* ACQUISTO CON POS *" and
// the 17 fields. Nothing when the request held no payment line.
void appendPaymentBlock(std::string& out, const POSData& pos);

// "MATR," + the register's serial number + ";".
std::string matrLine(std::string_view serialNumber);

// True when out already carries the card-payment block.
bool hasPaymentBlock(std::string_view out);

} // namespace tavor1

#pragma once

#include "payment/POSData.h"

#include <string>

namespace tavor1 {

class MessageSink;
class RegisterExchange;

// Prints the card-payment outcome on the register as a non-fiscal document:
// the error layout unless the terminal approved ("00"), else the full
// transaction data with amount, customer-copy mark and signature line. Nothing
// is sent when the request held no payment line. Every command's result is
// ignored: a rejected line does not stop the slip.
void printPaymentSlip(RegisterExchange& link, const POSData& pos, MessageSink& messages);

// The amount as the slip prints it: the cents text read as a leading number,
// in euro with two decimals and the decimal comma, right-aligned in 15
// characters (a longer text keeps its first 15).
std::string slipAmountField(const std::string& amountText);

// "40031" + two-digit length + text: one printed line of a non-fiscal document.
std::string slipPrintLine(const std::string& text);

} // namespace tavor1

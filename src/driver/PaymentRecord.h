#pragma once

#include "exchange/JobJournal.h"

#include <string>

namespace tavor1 {

struct POSData;

// SR_OUT with the card-payment block appended unless it already holds it: an
// approved payment whose document failed must still reach the host.
std::string srOutWithPaymentBlock(const std::string& srOut, const POSData& pos);

// A card-payment outcome as the job journal keeps it, and back.
PosFields posFields(const POSData& pos);
POSData posDataOf(const PosFields& fields);

} // namespace tavor1

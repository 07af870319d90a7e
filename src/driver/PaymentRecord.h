#pragma once

#include "exchange/JobJournal.h"

#include <string>

namespace tavor1 {

struct POSData;

// Appends the card-payment block to the job's SR_OUT unless it already holds
// it: an approved payment whose document failed must still reach the host.
bool appendPaymentBlockToSrOut(const std::string& outPath, const POSData& pos);

// A card-payment outcome as the job journal keeps it, and back.
PosFields posFields(const POSData& pos);
POSData posDataOf(const PosFields& fields);

} // namespace tavor1
